#include <QCoreApplication>
#include <QStandardPaths>
#include <cstdio>

// Until the two programs exist, the demo reports what the built pieces see of this machine.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  std::printf("Ombrix foundation built. Library folder: %s/Ombrix\n", qPrintable(data));
  return 0;
}
