#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

#include "tests/helper/HelperTestSupport.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

namespace {

const QString kHelper = QStringLiteral(OX_BINARY_DIR "/bin/ombrix-helper");
const QString kPoster = QStringLiteral(OX_BINARY_DIR "/tools/ox-post-notification");
const QString kName = QStringLiteral("Varnel.OmbrixHelper");

// The program as the desktop starts it: a home of its own, the private bus, no display, the stand-ins.
class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QFileInfo(kHelper).isExecutable()) << qPrintable(kHelper);
    ASSERT_TRUE(bus.isRunning());
    ASSERT_TRUE(oxtest::StandIn::shared().isRunning());
    env = helpertest::programEnvironment();
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
      const QString path = home.filePath(QString::fromLatin1(name));
      QDir().mkpath(path);
      env.insert(QString::fromLatin1(name), path);
    }
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_LOGGING_RULES", "qt.qpa.*=false");
  }
  void TearDown() override {
    for (auto* p : {&first, &second})
      if (*p && (*p)->state() != QProcess::NotRunning) {
        (*p)->kill();
        (*p)->waitForFinished(5000);
      }
  }
  std::unique_ptr<QProcess> start() {
    std::unique_ptr<QProcess> p;
    EXPECT_TRUE(oxtest::startProcess(p, kHelper, {}, env));
    return p;
  }
  // Posts a distributed notification from a program of its own on the private bus; answers its exit status.
  int post(const QString& name) {
    std::unique_ptr<QProcess> poster;
    if (!oxtest::startProcess(poster, kPoster, {name}, env) || !poster->waitForFinished(20000)) return -1;
    return poster->exitCode();
  }
  QString libraryFile() const { return home.filePath("XDG_DATA_HOME/Ombrix/library.bin"); }

  oxtest::PrivateBus bus;
  QTemporaryDir home;
  QProcessEnvironment env;
  std::unique_ptr<QProcess> first, second;
};

}  // namespace

TEST_F(Program, ASecondCopyStepsAsideAndTheFirstEndsCleanlyWithTheLibrarySaved) {
  first = start();
  ASSERT_TRUE(oxtest::spinUntil([&] { return bus.hasOwner(kName); }, 20000));
  // Its first scan has saved the library; the end must save it again.
  ASSERT_TRUE(oxtest::spinUntil([&] { return QFile::exists(libraryFile()); }, 20000));

  second = start();
  ASSERT_TRUE(second->waitForFinished(20000));
  EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second->exitCode(), 0);
  EXPECT_TRUE(second->readAllStandardError().contains("already runs"));
  EXPECT_EQ(first->state(), QProcess::Running);
  EXPECT_TRUE(bus.hasOwner(kName));

  // Another program asks it to quit: it saves the library on the way out.
  oxtest::spinFor(300);
  ASSERT_TRUE(QFile::remove(libraryFile()));
  EXPECT_EQ(post("closeOmbrixHelperNotification"), 0);
  ASSERT_TRUE(first->waitForFinished(30000));
  EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first->exitCode(), 0);
  EXPECT_TRUE(QFile::exists(libraryFile()));
  EXPECT_FALSE(bus.hasOwner(kName));
}

TEST_F(Program, TheSessionsSigtermEndsItCleanlyToo) {
  first = start();
  ASSERT_TRUE(oxtest::spinUntil([&] { return bus.hasOwner(kName); }, 20000));
  ASSERT_TRUE(oxtest::spinUntil([&] { return QFile::exists(libraryFile()); }, 20000));
  oxtest::spinFor(300);
  ASSERT_TRUE(QFile::remove(libraryFile()));
  ::kill(pid_t(first->processId()), SIGTERM);
  ASSERT_TRUE(first->waitForFinished(30000));
  EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first->exitCode(), 0);
  EXPECT_TRUE(QFile::exists(libraryFile()));
}
