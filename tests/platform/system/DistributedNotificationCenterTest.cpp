#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <thread>

#include "platform/foundation/MainQueue.h"
#include "platform/system/DistributedNotificationCenter.h"
#include "tests/support/TestUtil.h"

using ox::DistributedNotification;

TEST(DistributedNotificationCenterTest, PostsComeBackOnceOnTheMainThreadToTheObserversOfTheirNameAndObject) {
  if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus";
  auto& center = ox::DistributedNotificationCenter::defaultCenter();
  // The suite's test processes share one session bus.
  const QString name = QStringLiteral("ox.test.%1").arg(QCoreApplication::applicationPid());
  QStringList calls;
  QVariantMap userInfo;
  bool onMain = true;
  auto note = [&](const char* who) {
    return [&, who](const DistributedNotification& n) {
      onMain = onMain && ox::isMainThread();
      calls << QLatin1String(who) + QLatin1Char(':') + n.object;
      userInfo = n.userInfo;
    };
  };
  const auto any = center.addObserver(name, {}, note("any"));
  const auto helper = center.addObserver(name, QStringLiteral("helper"), note("helper"));
  const auto other = center.addObserver(name + QStringLiteral(".other"), {}, note("other"));

  const QVariantMap sent{{QStringLiteral("RemoteControlDeviceName"), QStringLiteral("AppleIRController")},
                         {QStringLiteral("count"), 3},
                         {QStringLiteral("nested"), QVariantMap{{QStringLiteral("list"), QVariantList{1, "two"}}}}};
  std::thread poster([&] { EXPECT_TRUE(center.post(name, QStringLiteral("helper"), sent)); });
  poster.join();
  center.post(name);
  ASSERT_TRUE(oxtest::spinUntil([&] { return calls.size() >= 3; }));
  oxtest::spinFor(50);
  // Posts from two threads may cross on their way to the bus; each comes back once, to its observers in order.
  const qsizetype plain = calls.indexOf("any:");
  ASSERT_GE(plain, 0);
  calls.removeAt(plain);
  EXPECT_EQ(calls, (QStringList{"any:helper", "helper:helper"}));
  EXPECT_TRUE(onMain);

  calls.clear();
  center.removeObserver(any);
  center.post(name, QStringLiteral("helper"), sent);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !calls.isEmpty(); }));
  oxtest::spinFor(50);
  EXPECT_EQ(calls, (QStringList{"helper:helper"}));
  EXPECT_EQ(userInfo.value(QStringLiteral("RemoteControlDeviceName")).toString(), QStringLiteral("AppleIRController"));
  EXPECT_EQ(userInfo.value(QStringLiteral("count")).toInt(), 3);
  const QVariantList list = userInfo.value(QStringLiteral("nested")).toMap().value(QStringLiteral("list")).toList();
  EXPECT_EQ(list, (QVariantList{1, QStringLiteral("two")}));
  center.removeObserver(helper);
  center.removeObserver(other);
}
