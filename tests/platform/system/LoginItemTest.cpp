#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/system/LoginItem.h"

namespace {

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The desktop's own switch turns an entry off without removing it.
void hide(const QString& path) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::Append));
  file.write("Hidden=true\n");
}

// Login items of a configuration folder of the test's own.
class LoginItem : public ::testing::Test {
 protected:
  void SetUp() override { qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit()); }
  void TearDown() override { qputenv("XDG_CONFIG_HOME", saved); }

  const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
  QTemporaryDir config;
  const QString id = QStringLiteral("Varnel.Test");
};

}  // namespace

TEST_F(LoginItem, AutostartEntryIsWrittenFoundSwitchedOffAndRemoved) {
  const QString path = ox::LoginItem::desktopFilePath(id);
  EXPECT_EQ(path, config.filePath("autostart/Varnel.Test.desktop"));
  EXPECT_FALSE(ox::LoginItem::isInLoginItems(id));
  EXPECT_TRUE(ox::LoginItem::removeFromLoginItems(id));  // nothing there counts as removed

  ASSERT_TRUE(ox::LoginItem::addToLoginItems(id, "Ombrix\nHelper", "/opt/my apps/ombrix-helper", {"--now", "50%"}));
  EXPECT_TRUE(ox::LoginItem::isInLoginItems(id));
  const QByteArray entry = readAll(path);
  EXPECT_TRUE(entry.startsWith("[Desktop Entry]\nType=Application\n"));
  EXPECT_TRUE(entry.contains("\nName=Ombrix Helper\n"));  // one line, whatever the name holds
  EXPECT_TRUE(entry.contains("\nExec=\"/opt/my apps/ombrix-helper\" --now 50%%\n"));

  hide(path);  // off without being removed
  EXPECT_FALSE(ox::LoginItem::isInLoginItems(id));
  ASSERT_TRUE(ox::LoginItem::addToLoginItems(id, "Ombrix Helper", "/usr/bin/ombrix-helper"));
  EXPECT_TRUE(ox::LoginItem::isInLoginItems(id));

  EXPECT_TRUE(ox::LoginItem::removeFromLoginItems(id));
  EXPECT_FALSE(QFile::exists(path));
}

// An entry whose program is gone or cannot run is taken over by the program that runs, but only one that is on.
TEST_F(LoginItem, AnEntryThatIsOnAndStartsNothingFollowsTheProgramKeepingItsArguments) {
  const QString path = ox::LoginItem::desktopFilePath(id);
  ASSERT_TRUE(ox::LoginItem::addToLoginItems(id, "Ombrix Helper", "/nonexistent/my helper", {"--now"}));
  hide(path);
  const QByteArray off = readAll(path);
  EXPECT_TRUE(ox::LoginItem::followProgram(id, "/bin/sh"));
  EXPECT_EQ(readAll(path), off);

  ASSERT_TRUE(ox::LoginItem::addToLoginItems(id, "Ombrix Helper", "/nonexistent/my helper", {"--now"}));
  EXPECT_TRUE(ox::LoginItem::followProgram(id, "/bin/sh"));
  const QByteArray followed = readAll(path);
  EXPECT_TRUE(followed.contains("\nExec=/bin/sh --now\nTerminal=false\n")) << followed.constData();
  EXPECT_TRUE(ox::LoginItem::followProgram(id, QFileInfo("/bin/sh").canonicalFilePath()));  // the same program
  EXPECT_EQ(readAll(path), followed);

  // A file that cannot be run is no program either.
  const QString plain = config.filePath("ombrix-helper");
  QFile file(plain);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n") > 0);
  file.close();
  ASSERT_TRUE(ox::LoginItem::addToLoginItems(id, "Ombrix Helper", plain));
  EXPECT_TRUE(ox::LoginItem::followProgram(id, "/bin/sh"));
  EXPECT_TRUE(readAll(path).contains("\nExec=/bin/sh\n"));
  ASSERT_TRUE(ox::LoginItem::addToLoginItems(id, "Ombrix Helper", "no-such-program-in-path"));
  EXPECT_TRUE(ox::LoginItem::followProgram(id, "/bin/sh"));
  EXPECT_TRUE(readAll(path).contains("\nExec=/bin/sh\n"));
}

// Two installs (a build and a package) started in turn: the entry keeps naming the first, which still works.
TEST_F(LoginItem, AnEntryThatStartsAWorkingProgramStaysAsItIs) {
  const QString path = ox::LoginItem::desktopFilePath(id);
  const QString other = config.filePath("ombrix-helper");
  QFile file(other);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n") > 0);
  file.close();
  ASSERT_TRUE(file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup));
  ASSERT_TRUE(ox::LoginItem::addToLoginItems(id, "Ombrix Helper", other, {"--now"}));
  const QByteArray entry = readAll(path);
  EXPECT_TRUE(ox::LoginItem::followProgram(id, "/bin/sh"));
  EXPECT_EQ(readAll(path), entry);
  ASSERT_TRUE(ox::LoginItem::addToLoginItems(id, "Ombrix Helper", "sh"));  // found in PATH, as the session would
  const QByteArray named = readAll(path);
  EXPECT_TRUE(ox::LoginItem::followProgram(id, other));
  EXPECT_EQ(readAll(path), named);
}

TEST_F(LoginItem, ExecArgumentsAreQuotedWhereTheyMustBe) {
  EXPECT_EQ(ox::LoginItem::quoteExecArgument("/usr/bin/ombrix-helper"), "/usr/bin/ombrix-helper");
  EXPECT_EQ(ox::LoginItem::quoteExecArgument(""), "\"\"");
  EXPECT_EQ(ox::LoginItem::quoteExecArgument("a b"), "\"a b\"");
  EXPECT_EQ(ox::LoginItem::quoteExecArgument("say \"$HOME\" `x` \\"), "\"say \\\"\\$HOME\\\" \\`x\\` \\\\\"");
  EXPECT_EQ(ox::LoginItem::quoteExecArgument("100%"), "100%%");
}
