#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <utility>

#include "tests/support/TemporaryDir.h"
#include "tests/support/TestUtil.h"

namespace {

constexpr char kLeftBehind[] = "Left in the test process's temporary folder, removed at its end: ";

// Test processes started with TMPDIR at a folder of this test's own, which holds nothing once they are gone.
class TestTempFolders : public ::testing::Test {
 protected:
  QProcessEnvironment environment() const {
    QProcessEnvironment env = oxtest::programEnvironment();
    env.insert(QStringLiteral("TMPDIR"), tmp_.path());
    return env;
  }
  // Runs a test executable with a test filter; answers its exit code (-1 when it was killed, -2 when it hung).
  int run(const QString& filter, QByteArray* err = nullptr, const QString& program = OX_TEST_TEMP_CHILD) const {
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(program, {QStringLiteral("--gtest_filter=") + filter});
    if (!p.waitForFinished(60000)) return -2;
    if (err) *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  }
  // The names in that folder.
  std::string left() const {
    return QDir(tmp_.path())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        .join(QLatin1Char(' '))
        .toStdString();
  }

  QTemporaryDir tmp_;
};

TEST_F(TestTempFolders, WhatAFailingTestAndTheProgramsItStartsLeaveGoesWithItsProcess) {
  QByteArray err;
  EXPECT_EQ(run(QStringLiteral("TempChild.LeavesFoldersAndFails"), &err), 1);
  EXPECT_EQ(left(), "");
  // Named, so a fixture that does not remove its folder is found.
  EXPECT_TRUE(err.contains(kLeftBehind)) << err.constData();
}

TEST_F(TestTempFolders, AKilledProcesssFolderGoesWithTheNextProcessWhileALiveOnesStays) {
  std::unique_ptr<QProcess> live;
  ASSERT_TRUE(oxtest::startProcess(live, QStringLiteral(OX_TEST_TEMP_CHILD),
                                   {QStringLiteral("--gtest_filter=TempChild.LeavesFoldersAndWaitsForItsInputToClose")},
                                   environment()));
  QString liveFolder;
  ASSERT_TRUE(oxtest::spinUntil([&] {
    live->waitForReadyRead(100);
    while (liveFolder.isEmpty() && live->canReadLine()) {
      const QString line = QString::fromLocal8Bit(live->readLine()).trimmed();
      if (line.startsWith(QLatin1String("TMPDIR="))) liveFolder = line.mid(7);
    }
    return !liveFolder.isEmpty();
  }, 30000));
  ASSERT_EQ(QFileInfo(liveFolder).path().toStdString(), tmp_.path().toStdString());
  EXPECT_EQ(QDir(liveFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 3);  // two left, one for settings

  EXPECT_EQ(run(QStringLiteral("TempChild.LeavesFoldersAndIsKilled")), -1);
  const std::string both = left();
  EXPECT_EQ(std::count(both.begin(), both.end(), ' '), 1) << both;  // the live process's and the killed one's
  EXPECT_EQ(run(QStringLiteral("-*")), 0);  // a process that runs no test, as the suite's last step is
  EXPECT_EQ(left(), QFileInfo(liveFolder).fileName().toStdString());
  EXPECT_EQ(QDir(liveFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 3);

  live->closeWriteChannel();
  ASSERT_TRUE(live->waitForFinished(30000));
  EXPECT_EQ(live->exitCode(), 0);
  EXPECT_EQ(left(), "");
}

// Tests of the suite whose folders outlived them (a library folder kept for the process, names QDir cannot spell),
// each run in a process of its own as CTest runs them: each removes what it made.
TEST_F(TestTempFolders, TestsOfTheSuiteRemoveTheirFoldersThemselves) {
  const std::pair<const char*, const char*> slice[] = {
      {OX_TEST_CORE_TESTS, "RootList.ALatin1FolderIsKeptByItsBytesAndItsFilesAreFound"},
      {OX_TEST_SCANNER_TESTS, "CoreLibrary.FilesWithLatin1NamesAreScannedOnceAndKeepTheirBytes"},
      {OX_TEST_HELPER_TESTS, "OXServer.OnlyTheFilesOfListedMoviesAreServed"},
      {OX_TEST_HELPER_TESTS, "ManualMatch.Latin1NamesAreSearchedAndShownAsTheLettersTheyHold"},
      {OX_TEST_HELPER_TESTS, "SourceFolders.ALatin1FolderDroppedIsScannedIdentifiedAndServed"},
      {OX_TEST_APP_TESTS, "MoviesViewPostersTest.InALibraryOfThousandsOnlyThePostersNearTheSelectionKeepTheirParts"},
  };
  for (const auto& [program, test] : slice) {
    QByteArray err;
    EXPECT_EQ(run(QString::fromLatin1(test), &err, QString::fromLocal8Bit(program)), 0) << test << "\n" << err.data();
    EXPECT_FALSE(err.contains(kLeftBehind)) << test << "\n" << err.data();
  }
  EXPECT_EQ(left(), "");
}

// Names made by their bytes (Latin-1, as old disks hold them) go with the folder, which QDir alone cannot remove.
TEST(TemporaryDir, TakesNamesThatAreNotUTF8WithIt) {
  QString path;
  {
    oxtest::TemporaryDir dir;
    path = dir.path();
    const QByteArray folder = QFile::encodeName(path) + "/Vid\xe9os";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    std::FILE* film = std::fopen((folder + "/Caf\xe9 No\xebl.mkv").constData(), "wb");
    ASSERT_TRUE(film);
    std::fclose(film);
  }
  EXPECT_FALSE(QFileInfo::exists(path));
}

}  // namespace
