#include "platform/foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <thread>
#include <vector>

using ox::Notification;
using ox::NotificationCenter;

TEST(NotificationCenter, DeliversByNameAndObjectInOrderOnThePostingThread) {
  NotificationCenter nc;
  int a = 0, b = 0;
  std::vector<QString> seen;
  const int objA = 0, objB = 0;
  nc.addObserver("Scan", nullptr, [&](const Notification& n) { seen.push_back("any:" + n.name); });
  nc.addObserver("Scan", &objA, [&](const Notification&) { seen.push_back("objA"); });
  nc.addObserver(QString(), nullptr, [&](const Notification& n) { seen.push_back("all:" + n.name); });
  nc.addObserver("Other", nullptr, [&](const Notification&) { ++b; });

  std::thread::id deliveredOn;
  nc.addObserver("Info", &objB, [&](const Notification& n) {
    ++a;
    deliveredOn = std::this_thread::get_id();
    EXPECT_EQ(n.object, &objB);
    EXPECT_EQ(n.userInfo.value("k").toInt(), 7);
  });

  nc.post("Scan", &objA);
  EXPECT_EQ(seen, (std::vector<QString>{"any:Scan", "objA", "all:Scan"}));
  seen.clear();
  nc.post("Scan", &objB);  // not objA's
  EXPECT_EQ(seen, (std::vector<QString>{"any:Scan", "all:Scan"}));
  nc.post("Info", &objA, {{"k", 7}});  // wrong object
  EXPECT_EQ(a, 0);
  std::thread t([&] { nc.post("Info", &objB, {{"k", 7}}); });
  const auto poster = t.get_id();
  t.join();
  EXPECT_EQ(a, 1);
  EXPECT_EQ(deliveredOn, poster);
  EXPECT_EQ(b, 0);
}

TEST(NotificationCenter, RemovalFromInsideObserversAndNestedPosts) {
  NotificationCenter nc;
  int self = 0, victim = 0, nested = 0;
  NotificationCenter::Token selfToken = 0, victimToken = 0;
  selfToken = nc.addObserver("N", nullptr, [&](const Notification&) {
    ++self;
    nc.removeObserver(selfToken);
    nc.removeObserver(victimToken);  // later in this same post: must not be called any more
    nc.post("Inner");                // posting from inside an observer must not deadlock
    nc.addObserver("Inner", nullptr, [&](const Notification&) { ++nested; });
  });
  victimToken = nc.addObserver("N", nullptr, [&](const Notification&) { ++victim; });
  nc.post("N");
  nc.post("N");
  EXPECT_EQ(self, 1);
  EXPECT_EQ(victim, 0);
  nc.post("Inner");
  EXPECT_EQ(nested, 1);
  nc.removeObserver(selfToken);  // unknown tokens are harmless
  nc.removeObserver(987654);
}

TEST(NotificationCenter, PostsFromManyThreadsWhileObserversComeAndGo) {
  NotificationCenter nc;
  std::atomic<int> steady{0};
  std::atomic<int> transient{0};
  nc.addObserver("Tick", nullptr, [&](const Notification&) { steady.fetch_add(1); });

  constexpr int kThreads = 8, kPosts = 2000;
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    while (!stop.load()) {
      auto t = nc.addObserver("Tick", nullptr, [&](const Notification&) { transient.fetch_add(1); });
      nc.removeObserver(t);
    }
  });
  std::vector<std::thread> posters;
  for (int i = 0; i < kThreads; ++i)
    posters.emplace_back([&] {
      for (int j = 0; j < kPosts; ++j) nc.post("Tick", nullptr, {{"j", j}});
    });
  for (auto& t : posters) t.join();
  stop = true;
  churn.join();
  EXPECT_EQ(steady.load(), kThreads * kPosts);
}

TEST(NotificationCenter, RemoveWaitsForACallRunningOnAnotherThread) {
  NotificationCenter nc;
  std::atomic<bool> entered{false}, finished{false};
  auto token = nc.addObserver("Slow", nullptr, [&](const Notification&) {
    entered = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    finished = true;
  });
  std::thread poster([&] { nc.post("Slow"); });
  while (!entered.load()) std::this_thread::yield();
  nc.removeObserver(token);
  EXPECT_TRUE(finished.load());  // the caller may now free what the observer used
  poster.join();
}

TEST(NotificationCenter, ObserversRemovingEachOtherOnTwoThreadsDoNotDeadlock) {
  NotificationCenter nc;
  for (int round = 0; round < 50; ++round) {
    std::latch bothInside(2);
    NotificationCenter::Token x = 0, y = 0;
    x = nc.addObserver("X", nullptr, [&](const Notification&) {
      bothInside.arrive_and_wait();
      nc.removeObserver(y);
    });
    y = nc.addObserver("Y", nullptr, [&](const Notification&) {
      bothInside.arrive_and_wait();
      nc.removeObserver(x);
    });
    std::thread a([&] { nc.post("X"); });
    std::thread b([&] { nc.post("Y"); });
    a.join();
    b.join();
  }
  SUCCEED();
}

TEST(NotificationCenter, DefaultCenterIsOneInstance) {
  EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
  int got = 0;
  auto t = NotificationCenter::defaultCenter().addObserver("StatusBarScanningState", nullptr,
                                                           [&](const Notification&) { ++got; });
  NotificationCenter::defaultCenter().post("StatusBarScanningState");
  NotificationCenter::defaultCenter().removeObserver(t);
  NotificationCenter::defaultCenter().post("StatusBarScanningState");
  EXPECT_EQ(got, 1);
}
