#include "platform/foundation/OperationQueue.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;
using ox::Operation;
using ox::OperationQueue;

namespace {

// A latch that gives up after a while, so a fault fails the test instead of hanging it.
class Gate {
 public:
  void open() {
    std::lock_guard lock(m_mutex);
    m_open = true;
    m_cv.notify_all();
  }
  bool wait(std::chrono::milliseconds timeout = 10s) {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, timeout, [&] { return m_open; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_open = false;
};

bool eventually(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 10s) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return pred();
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// Tracks how many blocks run at once and the most ever seen.
struct HighWater {
  std::atomic<int> now{0}, most{0};
  void enter() {
    const int n = now.fetch_add(1) + 1;
    int m = most.load();
    while (n > m && !most.compare_exchange_weak(m, n)) {
    }
  }
  void leave() { now.fetch_sub(1); }
};

}  // namespace

TEST(OperationQueue, CompletionRunsOnceAfterAllBlocks) {
  OperationQueue q(2);
  std::atomic<int> blocks{0}, completions{0}, blocksAtCompletion{-1};
  auto op = std::make_shared<Operation>();
  for (int i = 0; i < 5; ++i)
    op->addExecutionBlock([&] {
      std::this_thread::sleep_for(5ms);
      blocks.fetch_add(1);
    });
  op->setCompletionBlock([&] {
    blocksAtCompletion = blocks.load();
    completions.fetch_add(1);
  });
  q.addOperation(op);
  q.addOperation(op);  // a second add is ignored
  op->waitUntilFinished();
  EXPECT_TRUE(op->isFinished());
  EXPECT_EQ(blocks.load(), 5);
  ASSERT_TRUE(eventually([&] { return completions.load() == 1; }));
  q.waitUntilAllOperationsAreFinished();
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(completions.load(), 1);
  EXPECT_EQ(blocksAtCompletion.load(), 5);
}

TEST(OperationQueue, CancelledBeforeStartSkipsBlocksButCompletes) {
  OperationQueue q(1);
  Gate release, started;
  std::atomic<int> ranBlocks{0}, completions{0};
  q.addOperationWithBlock([&] {
    started.open();
    release.wait();
  });
  ASSERT_TRUE(started.wait());

  auto waiting = std::make_shared<Operation>([&] { ranBlocks.fetch_add(1); });
  waiting->setCompletionBlock([&] { completions.fetch_add(1); });
  q.addOperation(waiting);
  EXPECT_EQ(q.operationCount(), 2);
  waiting->cancel();
  waiting->cancel();
  EXPECT_TRUE(waiting->isCancelled());
  EXPECT_TRUE(waiting->isFinished());
  EXPECT_EQ(q.operationCount(), 1);
  // Its completion does not wait for the place the running operation holds.
  EXPECT_TRUE(eventually([&] { return completions.load() == 1; }));

  auto early = std::make_shared<Operation>([&] { ranBlocks.fetch_add(1); });
  early->setCompletionBlock([&] { completions.fetch_add(1); });
  early->cancel();  // before it was ever queued
  q.addOperation(early);
  EXPECT_TRUE(early->isFinished());
  EXPECT_TRUE(eventually([&] { return completions.load() == 2; }));

  release.open();
  q.waitUntilAllOperationsAreFinished();
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(ranBlocks.load(), 0);
  EXPECT_EQ(completions.load(), 2);
}

TEST(OperationQueue, CancelAllDropsWaitingWorkAndLetsRunningWorkFinish) {
  OperationQueue q(1);
  Gate release, started;
  std::atomic<int> ranWaiting{0}, completions{0};
  std::atomic<bool> runningFinished{false};
  auto running = std::make_shared<Operation>([&] {
    started.open();
    release.wait();
    runningFinished = true;
  });
  running->setCompletionBlock([&] { completions.fetch_add(1); });
  q.addOperation(running);
  ASSERT_TRUE(started.wait());
  for (int i = 0; i < 10; ++i) {
    auto op = std::make_shared<Operation>([&] { ranWaiting.fetch_add(1); });
    op->setCompletionBlock([&] { completions.fetch_add(1); });
    q.addOperation(op);
  }
  EXPECT_EQ(q.operationCount(), 11);
  q.cancelAllOperations();
  EXPECT_EQ(q.operationCount(), 1);
  EXPECT_TRUE(running->isCancelled());
  EXPECT_FALSE(running->isFinished());
  EXPECT_TRUE(eventually([&] { return completions.load() == 10; }));

  release.open();
  running->waitUntilFinished();
  EXPECT_TRUE(runningFinished.load());
  q.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(q.operationCount(), 0);
  EXPECT_TRUE(eventually([&] { return completions.load() == 11; }));
  EXPECT_EQ(ranWaiting.load(), 0);

  // The queue goes on taking work afterwards.
  std::atomic<bool> later{false};
  q.addOperationWithBlock([&] { later = true; });
  q.waitUntilAllOperationsAreFinished();
  EXPECT_TRUE(later.load());
}

TEST(OperationQueue, CancellingARunningOperationStartsNoMoreOfItsBlocks) {
  OperationQueue q(1);  // one helper beside the operation's own thread: two blocks at once
  Gate release;
  std::atomic<int> entered{0}, completions{0};
  auto op = std::make_shared<Operation>();
  for (int i = 0; i < 20; ++i)
    op->addExecutionBlock([&] {
      entered.fetch_add(1);
      release.wait();
    });
  op->setCompletionBlock([&] { completions.fetch_add(1); });
  q.addOperation(op);
  ASSERT_TRUE(eventually([&] { return entered.load() == 2; }));
  q.cancelAllOperations();
  release.open();
  op->waitUntilFinished();
  EXPECT_EQ(entered.load(), 2);
  EXPECT_TRUE(eventually([&] { return completions.load() == 1; }));
}

TEST(OperationQueue, ConcurrencyNeverAboveTheMaximum) {
  OperationQueue q(3);
  EXPECT_EQ(q.maxConcurrentOperationCount(), 3);
  HighWater hw;
  std::atomic<int> done{0};
  for (int i = 0; i < 40; ++i)
    q.addOperationWithBlock([&] {
      hw.enter();
      std::this_thread::sleep_for(2ms);
      hw.leave();
      done.fetch_add(1);
    });
  q.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(done.load(), 40);
  EXPECT_LE(hw.most.load(), 3);
  EXPECT_GE(hw.most.load(), 2);  // it does run operations side by side

  // Slow completions hold no place: operations keep to the limit while completions pile up beside them.
  q.setMaxConcurrentOperationCount(1);
  HighWater hw1;
  std::atomic<int> completions{0};
  for (int i = 0; i < 10; ++i) {
    auto op = std::make_shared<Operation>([&] {
      hw1.enter();
      std::this_thread::sleep_for(1ms);
      hw1.leave();
    });
    op->setCompletionBlock([&] {
      std::this_thread::sleep_for(20ms);
      completions.fetch_add(1);
    });
    q.addOperation(op);
  }
  q.waitUntilAllOperationsAreFinished();
  EXPECT_LE(hw1.most.load(), 1);
  EXPECT_TRUE(eventually([&] { return completions.load() == 10; }));

  OperationQueue byDefault;
  EXPECT_GE(byDefault.maxConcurrentOperationCount(), 1);
}

TEST(OperationQueue, MultiBlockOperationNeverStarves) {
  // On a queue of one, two blocks that can only end together must run side by side.
  {
    OperationQueue q(1);
    std::atomic<int> arrived{0};
    std::atomic<bool> bothSeen{true};
    auto op = std::make_shared<Operation>();
    for (int i = 0; i < 2; ++i)
      op->addExecutionBlock([&] {
        arrived.fetch_add(1);
        if (!eventually([&] { return arrived.load() == 2; }, 5s)) bothSeen = false;
      });
    q.addOperation(op);
    op->waitUntilFinished();
    EXPECT_TRUE(bothSeen.load());
  }
  // Helper threads all taken by another operation: the second one's own thread runs all of its blocks.
  {
    OperationQueue q(2);
    Gate release;
    std::atomic<int> held{0}, ran{0};
    auto hog = std::make_shared<Operation>();
    for (int i = 0; i < 3; ++i)
      hog->addExecutionBlock([&] {
        held.fetch_add(1);
        release.wait();
      });
    q.addOperation(hog);
    ASSERT_TRUE(eventually([&] { return held.load() == 3; }));
    auto many = std::make_shared<Operation>();
    for (int i = 0; i < 50; ++i) many->addExecutionBlock([&] { ran.fetch_add(1); });
    std::atomic<bool> completed{false};
    many->setCompletionBlock([&] { completed = true; });
    q.addOperation(many);
    EXPECT_TRUE(eventually([&] { return completed.load(); }));
    EXPECT_EQ(ran.load(), 50);
    EXPECT_FALSE(hog->isFinished());
    release.open();
    q.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(hog->isFinished());
  }
}

TEST(OperationQueue, WaitsAndCountsAndSelfWaitsDoNotHang) {
  OperationQueue q(4);
  Gate release;
  std::atomic<int> done{0};
  auto first = std::make_shared<Operation>([&] { release.wait(); });
  q.addOperation(first);
  for (int i = 0; i < 20; ++i)
    q.addOperationWithBlock([&] {
      std::this_thread::sleep_for(1ms);
      done.fetch_add(1);
    });
  EXPECT_GE(q.operationCount(), 1);
  EXPECT_LE(q.operationCount(), 21);
  std::thread opener([&] {
    std::this_thread::sleep_for(30ms);
    release.open();
  });
  q.waitUntilAllOperationsAreFinished();
  opener.join();
  EXPECT_EQ(done.load(), 20);
  EXPECT_EQ(q.operationCount(), 0);
  EXPECT_TRUE(first->isFinished());

  // Waiting on itself from its own block would never end: those waits return at once.
  auto selfWaiter = std::make_shared<Operation>();
  std::atomic<bool> returned{false};
  selfWaiter->addExecutionBlock([&, raw = selfWaiter.get()] {
    raw->waitUntilFinished();
    q.waitUntilAllOperationsAreFinished();
    returned = true;
  });
  q.addOperation(selfWaiter);
  q.waitUntilAllOperationsAreFinished();
  EXPECT_TRUE(returned.load());
}

// An owner on its way out waits a while for what it cancelled, not for ever.
TEST(OperationQueue, ABoundedWaitGivesUpOnWorkThatRunsOn) {
  OperationQueue q(2);
  Gate release;
  q.addOperationWithBlock([&] { release.wait(); });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(q.waitUntilAllOperationsAreFinished(50));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
  EXPECT_EQ(q.operationCount(), 1);
  release.open();
  EXPECT_TRUE(q.waitUntilAllOperationsAreFinished(10000));
  std::atomic<bool> fromItself{true};
  q.addOperationWithBlock([&] { fromItself = q.waitUntilAllOperationsAreFinished(10000); });
  EXPECT_TRUE(q.waitUntilAllOperationsAreFinished(10000));
  EXPECT_FALSE(fromItself.load());  // it would wait for itself: refused at once
}

TEST(OperationQueue, DestructorDropsWaitingAndWaitsForRunning) {
  std::atomic<bool> runningDone{false}, waitingRan{false};
  std::atomic<int> completions{0};
  Gate started;
  {
    OperationQueue q(1);
    q.addOperationWithBlock([&] {
      started.open();
      std::this_thread::sleep_for(50ms);
      runningDone = true;
    });
    auto waiting = std::make_shared<Operation>([&] { waitingRan = true; });
    waiting->setCompletionBlock([&] { completions.fetch_add(1); });
    q.addOperation(waiting);
    ASSERT_TRUE(started.wait());
  }
  EXPECT_TRUE(runningDone.load());
  EXPECT_FALSE(waitingRan.load());
  EXPECT_EQ(completions.load(), 1);  // completions are waited for too
}

namespace {

// Hands a queue over while its work runs and destroys the application object, as the end of main does; ends the
// process (nothing destroys the application twice) with 0 when the work saw the application all along.
[[noreturn]] void disposeAsTheApplicationGoes() {
  auto queue = std::make_unique<OperationQueue>(1);
  Gate started;
  std::atomic<bool> done{false}, applicationThere{false};
  queue->addOperationWithBlock([&] {
    started.open();
    std::this_thread::sleep_for(200ms);
    applicationThere = QCoreApplication::instance() != nullptr;
    done = true;
  });
  started.wait();
  OperationQueue::dispose(std::move(queue));
  QCoreApplication::instance()->~QCoreApplication();
  eventually([&] { return done.load(); });
  std::_Exit(applicationThere ? 0 : 1);
}

}  // namespace

// A view's queue handed over as the program ends: what still runs there ends before the application object goes,
// with the fonts and picture threads it may draw with.
TEST(OperationQueueDeathTest, WorkOfADisposedQueueEndsBeforeTheApplicationGoes) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(disposeAsTheApplicationGoes(), ::testing::ExitedWithCode(0), "");
}
