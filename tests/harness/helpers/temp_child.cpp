// The test process of the temporary folder tests. Each test keeps a folder made the way fixtures make theirs, and a
// program it starts makes one more; then the test fails, waits for its standard input to close, or is killed.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

void leaveFolders() {
  QTemporaryDir kept;
  kept.setAutoRemove(false);
  ASSERT_TRUE(kept.isValid());
  ASSERT_EQ(QProcess::execute(QStringLiteral("mktemp"), {QStringLiteral("-d")}), 0);
}

}  // namespace

TEST(TempChild, LeavesFoldersAndFails) {
  leaveFolders();
  ADD_FAILURE() << "failing as a test of the suite may";
}

TEST(TempChild, LeavesFoldersAndWaitsForItsInputToClose) {
  leaveFolders();
  std::printf("TMPDIR=%s\n", qPrintable(QDir::tempPath()));
  std::fflush(stdout);
  for (std::string line; std::getline(std::cin, line);) {
  }
}

TEST(TempChild, LeavesFoldersAndIsKilled) {
  leaveFolders();
  std::raise(SIGKILL);
}
