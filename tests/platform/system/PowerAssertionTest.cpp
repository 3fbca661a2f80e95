#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QObject>
#include <unistd.h>
#include <atomic>
#include <thread>

#include "platform/system/PowerAssertion.h"
#include "tests/support/TestUtil.h"

namespace {

// A screen saver service of our own on the test session bus, served by the main thread's event loop. Other test
// programs share that bus and may inhibit through it too; only this process's calls are recorded.
class FakeScreenSaver : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
 public:
  QStringList reasons;
  QList<uint> released;
 public slots:
  uint Inhibit(const QString& application, const QString& reason) {
    Q_UNUSED(application);
    if (!fromThisProcess()) return 1000;
    reasons << reason;
    return 40 + uint(reasons.size());
  }
  void UnInhibit(uint cookie) {
    if (fromThisProcess()) released << cookie;
  }

 private:
  bool fromThisProcess() const {
    return connection().interface()->servicePid(message().service()).value() == uint(::getpid());
  }
};

}  // namespace

TEST(PowerAssertionTest, InhibitsThroughTheSessionAndReleasesOnceElseDoesNothing) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) GTEST_SKIP() << "no session bus";

  // No service: a no-op that reports not granted.
  {
    ox::PowerAssertion none(QStringLiteral("Updating Ombrix Library"));
    EXPECT_FALSE(none.isGranted());
  }

  FakeScreenSaver saver;
  ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &saver,
                                 QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));

  const quint64 grantedBefore = ox::PowerAssertion::grantedCount();
  const quint64 releasedBefore = ox::PowerAssertion::releasedCount();
  std::atomic<int> step{0};
  bool granted = false;
  // Taken on a worker thread, as the cycle does, while the main thread serves the bus.
  std::thread worker([&] {
    ox::PowerAssertion assertion(QStringLiteral("Updating Ombrix Library"));
    granted = assertion.isGranted();
    step = 1;
    while (step.load() != 2) std::this_thread::yield();
    assertion.release();
    assertion.release();  // a second release sends nothing
  });
  EXPECT_TRUE(oxtest::spinUntil([&] { return step.load() == 1; }));
  EXPECT_TRUE(granted);
  EXPECT_EQ(saver.reasons, QStringList{QStringLiteral("Updating Ombrix Library")});
  EXPECT_TRUE(saver.released.isEmpty());
  step = 2;
  EXPECT_TRUE(oxtest::spinUntil([&] { return !saver.released.isEmpty(); }));
  worker.join();
  oxtest::spinFor(50);
  EXPECT_EQ(saver.released, QList<uint>{41});
  EXPECT_EQ(ox::PowerAssertion::grantedCount() - grantedBefore, 1u);
  EXPECT_EQ(ox::PowerAssertion::releasedCount() - releasedBefore, 1u);

  bus.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
  bus.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
}

#include "PowerAssertionTest.moc"
