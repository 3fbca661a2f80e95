#include "platform/foundation/Info.h"
#include "platform/foundation/UserDefaults.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <thread>

#include "tests/support/TestUtil.h"

TEST(Info, EnvironmentOverrideWinsOnlyWhenSet) {
  ox::registerInfoValues({{"SUFeedURL", "https://updates.example/appcast.xml"}, {"CFBundleVersion", "412"}});
  ox::registerInfoValues({{"CFBundleVersion", "413"}});
  ox::registerInfoEnvironmentOverride(QStringLiteral("SUFeedURL"), QStringLiteral("OX_TEST_FEED_URL"));
  EXPECT_EQ(ox::infoValue(QStringLiteral("CFBundleVersion")).toString(), "413");
  EXPECT_FALSE(ox::infoValue(QStringLiteral("NoSuchKey")).isValid());

  qunsetenv("OX_TEST_FEED_URL");
  EXPECT_EQ(ox::infoValue(QStringLiteral("SUFeedURL")).toString(), "https://updates.example/appcast.xml");
  qputenv("OX_TEST_FEED_URL", "http://127.0.0.1:8000/appcast.xml");
  EXPECT_EQ(ox::infoValue(QStringLiteral("SUFeedURL")).toString(), "http://127.0.0.1:8000/appcast.xml");
  qputenv("OX_TEST_FEED_URL", "");
  EXPECT_EQ(ox::infoValue(QStringLiteral("SUFeedURL")).toString(), "https://updates.example/appcast.xml");
  qunsetenv("OX_TEST_FEED_URL");
}

TEST(Info, ApplicationSupportIsTheXdgDataHome) {
  QTemporaryDir data;
  const QByteArray saved = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", data.path().toUtf8());
  EXPECT_EQ(ox::applicationSupportDirectory(), data.path());
  qputenv("XDG_DATA_HOME", saved);
}

TEST(UserDefaults, ValuesPersistUnderTheBundleName) {
  QTemporaryDir config;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
  ox::registerInfoValues({{"CFBundleName", "OmbrixInfoName"}});
  EXPECT_EQ(ox::UserDefaults::applicationName(), "OmbrixInfoName");
  ox::UserDefaults::setApplicationName(QStringLiteral("OmbrixTest"));
  EXPECT_EQ(ox::UserDefaults::applicationName(), "OmbrixTest");

  EXPECT_FALSE(ox::UserDefaults::contains(QStringLiteral("volume")));
  EXPECT_EQ(ox::UserDefaults::value(QStringLiteral("volume"), 5).toInt(), 5);
  ox::UserDefaults::setValue(QStringLiteral("volume"), 0.75);
  ox::UserDefaults::setValue(QStringLiteral("folders"), QStringList{"/media/a", "/media/b"});
  ox::UserDefaults::setValue(QStringLiteral("window"), QVariantMap{{"x", 10}, {"full", true}});
  EXPECT_DOUBLE_EQ(ox::UserDefaults::value(QStringLiteral("volume")).toDouble(), 0.75);
  EXPECT_EQ(ox::UserDefaults::value(QStringLiteral("folders")).toStringList(), (QStringList{"/media/a", "/media/b"}));
  EXPECT_TRUE(ox::UserDefaults::value(QStringLiteral("window")).toMap().value("full").toBool());

  // Several threads writing at once lose nothing.
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 10; ++i) ox::UserDefaults::setValue(QStringLiteral("k%1-%2").arg(t).arg(i), t * 100 + i);
    });
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t)
    for (int i = 0; i < 10; ++i)
      EXPECT_EQ(ox::UserDefaults::value(QStringLiteral("k%1-%2").arg(t).arg(i)).toInt(), t * 100 + i);

  ox::UserDefaults::remove(QStringLiteral("volume"));
  EXPECT_FALSE(ox::UserDefaults::contains(QStringLiteral("volume")));
  EXPECT_TRUE(ox::UserDefaults::synchronize());
  const QString file = config.filePath(QStringLiteral("Varnel/OmbrixTest.conf"));
  ASSERT_TRUE(QFile::exists(file));
  QSettings onDisk(file, QSettings::IniFormat);
  EXPECT_EQ(onDisk.value(QStringLiteral("k3-9")).toInt(), 309);
  EXPECT_FALSE(onDisk.contains(QStringLiteral("volume")));
}

// The suite runs test processes side by side: a value one of them sets never reaches another.
TEST(UserDefaults, EachTestProcessKeepsItsOwn) {
  const QString mark = QStringLiteral("testProcessMark");
  if (qEnvironmentVariableIsSet("OX_TEST_DEFAULTS_PROBE")) {  // the other process
    EXPECT_FALSE(ox::UserDefaults::contains(mark));
    return;
  }
  ox::UserDefaults::setValue(mark, true);
  ASSERT_TRUE(ox::UserDefaults::synchronize());
  QProcessEnvironment env = oxtest::programEnvironment();
  env.insert(QStringLiteral("OX_TEST_DEFAULTS_PROBE"), QStringLiteral("1"));
  std::unique_ptr<QProcess> other;
  ASSERT_TRUE(oxtest::startProcess(other, QCoreApplication::applicationFilePath(),
                                   {QStringLiteral("--gtest_filter=UserDefaults.EachTestProcessKeepsItsOwn")}, env));
  ASSERT_TRUE(other->waitForFinished(20000));
  EXPECT_EQ(other->exitCode(), 0) << other->readAllStandardOutput().toStdString();
  ox::UserDefaults::remove(mark);
}
