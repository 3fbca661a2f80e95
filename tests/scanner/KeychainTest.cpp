#include "scanner/Keychain.h"

#include <gtest/gtest.h>

#include <QThread>

// Against the real Secret Service that the test session starts; also from a second thread, as the store's jobs all
// run on one thread of their own.
TEST(Keychain, StoresReplacesAndDeletesFromAnyThread) {
  const QString service = QStringLiteral("OmbrixKeychainTest");
  const QString account = QStringLiteral("kim@example.org");
  ASSERT_TRUE(ox::deleteKeychainPassword(service, account));
  EXPECT_FALSE(ox::keychainPassword(service, account).has_value());
  ASSERT_TRUE(ox::setKeychainPassword(QStringLiteral("first"), service, account));
  EXPECT_EQ(ox::keychainPassword(service, account), QStringLiteral("first"));

  std::optional<QString> seen, other;
  QThread* worker = QThread::create([&] {
    ox::setKeychainPassword(QStringLiteral("sécond:pw"), service, account);
    seen = ox::keychainPassword(service, account);
    other = ox::keychainPassword(service, QStringLiteral("other@example.org"));
  });
  worker->start();
  ASSERT_TRUE(worker->wait(30000));
  delete worker;
  EXPECT_EQ(seen, QStringLiteral("sécond:pw"));
  EXPECT_FALSE(other.has_value());  // items are kept per account

  ASSERT_TRUE(ox::deleteKeychainPassword(service, account));
  EXPECT_FALSE(ox::keychainPassword(service, account).has_value());
  EXPECT_TRUE(ox::deleteKeychainPassword(service, account));
}

// A deletion asked for without waiting still comes before whatever is asked next, so a login right after a log-out
// keeps its password.
TEST(Keychain, ADeletionNotWaitedForComesBeforeTheNextRequest) {
  const QString service = QStringLiteral("OmbrixKeychainTest");
  const QString account = QStringLiteral("lee@example.org");
  ASSERT_TRUE(ox::setKeychainPassword(QStringLiteral("old"), service, account));
  ox::deleteKeychainPasswordLater(service, account);
  ASSERT_TRUE(ox::setKeychainPassword(QStringLiteral("new"), service, account));
  EXPECT_EQ(ox::keychainPassword(service, account), QStringLiteral("new"));
  ox::deleteKeychainPasswordLater(service, account);
  EXPECT_FALSE(ox::keychainPassword(service, account).has_value());
}
