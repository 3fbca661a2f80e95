#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QTemporaryDir>

#include "platform/system/ProcessRunner.h"
#include "platform/system/Workspace.h"
#include "tests/support/TestUtil.h"

using ox::Workspace;

namespace {

// Names of this test process alone: tests run side by side on one private bus.
QString uniqueName(const char* what) {
  return QStringLiteral("Varnel.Test%1.%2").arg(QCoreApplication::applicationPid()).arg(QLatin1String(what));
}

}  // namespace

TEST(Workspace, ARunningProgramIsOneThatOwnsItsBundleIdentifier) {
  if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus (tools/test.sh opens one)";
  const QString mine = uniqueName("Mine"), theirs = uniqueName("Theirs");
  EXPECT_FALSE(Workspace::shared().isApplicationRunning(mine));
  EXPECT_EQ(Workspace::shared().claimBundleIdentifier(mine), Workspace::Claim::Owned);
  EXPECT_TRUE(Workspace::shared().isApplicationRunning(mine));
  EXPECT_EQ(Workspace::shared().claimBundleIdentifier(mine), Workspace::Claim::Owned);  // asking again is harmless

  // Another connection stands for another process that got there first.
  QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "workspace-other");
  ASSERT_TRUE(other.registerService(theirs));
  EXPECT_TRUE(Workspace::shared().isApplicationRunning(theirs));
  EXPECT_EQ(Workspace::shared().claimBundleIdentifier(theirs), Workspace::Claim::TakenByAnother);
  other.unregisterService(theirs);
  QDBusConnection::disconnectFromBus("workspace-other");
  EXPECT_TRUE(oxtest::spinUntil([&] { return !Workspace::shared().isApplicationRunning(theirs); }));
}

TEST(Workspace, LaunchStartsTheProgramFileDetachedAndRefusesWhatIsNoProgram) {
  QTemporaryDir dir;
  const QString mark = dir.filePath("started");
  const QString program = dir.filePath("fake-helper");
  QFile script(program);
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  script.write(QStringLiteral("#!/bin/sh\necho started >> '%1'\n").arg(mark).toUtf8());
  script.close();
  EXPECT_FALSE(Workspace::shared().launchApplication(program));  // not executable yet
  script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_FALSE(Workspace::shared().launchApplication(dir.filePath("missing")));
  EXPECT_TRUE(Workspace::shared().launchApplication(program));
  EXPECT_TRUE(oxtest::spinUntil([&] { return QFile::exists(mark); }));
}

TEST(ProcessRunner, AnswersTheExitCodeAndStopsWhatOverruns) {
  EXPECT_EQ(ox::runProcess("/bin/sh", {"-c", "exit 3"}, 5000), 3);
  EXPECT_EQ(ox::runProcess("/nonexistent/program", {}, 1000), -1);
  EXPECT_EQ(ox::runProcess("/bin/sleep", {"5"}, 200), -1);  // our own child, stopped at its time limit
}
