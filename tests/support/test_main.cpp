#include <gtest/gtest.h>

#include <QtGlobal>
#ifdef OX_TEST_GUI
#include <QApplication>
#else
#include <QCoreApplication>
#endif

// Every test executable owns the Qt application of the process, so that main-queue work and timers run
// whenever a test spins the event loop. Tests are headless whatever the caller's environment says.
int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
#ifdef OX_TEST_GUI
  QApplication app(argc, argv);
#else
  QCoreApplication app(argc, argv);
#endif
  return RUN_ALL_TESTS();
}
