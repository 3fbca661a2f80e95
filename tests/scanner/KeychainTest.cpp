#include "scanner/Keychain.h"

#include <gtest/gtest.h>

#include <QThread>

// These run against the real Secret Service that the test session starts.
TEST(Keychain, StoresReplacesAndDeletes) {
  const QString service = QStringLiteral("OmbrixKeychainTest");
  const QString account = QStringLiteral("kim@example.org");
  ASSERT_TRUE(ox::deleteKeychainPassword(service, account));
  EXPECT_FALSE(ox::keychainPassword(service, account).has_value());

  ASSERT_TRUE(ox::setKeychainPassword(QStringLiteral("first"), service, account));
  EXPECT_EQ(ox::keychainPassword(service, account), QStringLiteral("first"));
  ASSERT_TRUE(ox::setKeychainPassword(QStringLiteral("sécond:pw"), service, account));
  EXPECT_EQ(ox::keychainPassword(service, account), QStringLiteral("sécond:pw"));
  // Items are kept per account.
  EXPECT_FALSE(ox::keychainPassword(service, QStringLiteral("other@example.org")).has_value());

  ASSERT_TRUE(ox::deleteKeychainPassword(service, account));
  EXPECT_FALSE(ox::keychainPassword(service, account).has_value());
  EXPECT_TRUE(ox::deleteKeychainPassword(service, account));
}

TEST(Keychain, WorksFromOtherThreadsToo) {
  const QString service = QStringLiteral("OmbrixKeychainTest");
  std::optional<QString> seen;
  QThread* worker = QThread::create([&] {
    ox::setKeychainPassword(QStringLiteral("from worker"), service, QStringLiteral("w@example.org"));
    seen = ox::keychainPassword(service, QStringLiteral("w@example.org"));
    ox::deleteKeychainPassword(service, QStringLiteral("w@example.org"));
  });
  worker->start();
  ASSERT_TRUE(worker->wait(30000));
  delete worker;
  EXPECT_EQ(seen, QStringLiteral("from worker"));
}
