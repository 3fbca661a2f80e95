#include "platform/foundation/OperationQueue.h"

#include "platform/foundation/Handoff.h"
#include "platform/foundation/Log.h"

#include <QCoreApplication>
#include <QRunnable>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <utility>

namespace ox {

namespace {

// The operation whose blocks the current thread runs, and that operation's queue: waiting on either from there
// could never end.
thread_local const Operation* t_operation = nullptr;
thread_local const OperationQueueCore* t_queue = nullptr;

struct ScopedCurrent {
  const Operation* savedOp;
  const OperationQueueCore* savedQueue;
  ScopedCurrent(const Operation* op, const OperationQueueCore* queue) : savedOp(t_operation), savedQueue(t_queue) {
    t_operation = op;
    t_queue = queue;
  }
  ~ScopedCurrent() {
    t_operation = savedOp;
    t_queue = savedQueue;
  }
};

// A pool task that tells ThreadSanitizer about the hand-off (see Handoff.h).
class Task : public QRunnable {
 public:
  explicit Task(std::function<void()> fn) : m_fn(std::move(fn)) { detail::handoffRelease(this); }
  void run() override {
    detail::handoffAcquire(this);
    m_fn();
  }

 private:
  std::function<void()> m_fn;
};

void start(QThreadPool* pool, std::function<void()> fn) { pool->start(new Task(std::move(fn))); }

bool tryStart(QThreadPool* pool, std::function<void()> fn) {
  auto* task = new Task(std::move(fn));
  if (pool->tryStart(task)) return true;
  delete task;
  return false;
}

int effectiveMax(int count) { return count >= 1 ? count : std::max(1, QThread::idealThreadCount()); }

// The blocks of one started operation, taken one by one by the thread running the operation and by helpers. Helpers
// are recruited only where a thread is free right now; the operation's own thread takes blocks as well, so the
// operation makes progress even when no helper can start, and waits only for blocks already running elsewhere.
struct BlockRun : std::enable_shared_from_this<BlockRun> {
  std::vector<std::function<void()>> blocks;
  std::atomic<size_t> next{0};
  std::mutex mutex;
  std::condition_variable allDone;
  size_t done = 0;
  QThreadPool* helpers = nullptr;
  const Operation* op = nullptr;
  const OperationQueueCore* queue = nullptr;

  void recruit() {
    while (next.load() + 1 < blocks.size() && tryStart(helpers, [self = shared_from_this()] { self->work(); })) {
    }
  }
  void work() {
    ScopedCurrent current(op, queue);
    for (;;) {
      const size_t i = next.fetch_add(1);
      if (i >= blocks.size()) return;
      // Once cancelled, the blocks still waiting are passed over; those already running end on their own.
      if (!op->isCancelled()) blocks[i]();
      blocks[i] = nullptr;  // free what the block holds as soon as it has run
      {
        std::lock_guard lock(mutex);
        if (++done == blocks.size()) allDone.notify_all();
      }
      recruit();
    }
  }
  void runAndWait() {
    recruit();
    work();
    std::unique_lock lock(mutex);
    allDone.wait(lock, [&] { return done == blocks.size(); });
  }
};

}  // namespace

struct OperationQueueCore {
  mutable std::mutex mutex;
  std::condition_variable idle;
  std::deque<std::shared_ptr<Operation>> waiting;
  std::vector<std::shared_ptr<Operation>> running;
  std::deque<std::function<void()>> droppedCompletions;
  bool draining = false;
  bool closed = false;
  int max = 1;
  // Runs operations and completions. Never the limit on concurrency (the queue counts that itself), so its size is
  // left unbounded: nothing started on it ever waits for a thread.
  std::unique_ptr<QThreadPool> pool;
  // Helper threads for the blocks of multi-block operations; only tryStart is used on it, so it never queues work.
  std::unique_ptr<QThreadPool> helpers;

  // All with `mutex` held.
  void pump();
  void drop(const std::shared_ptr<Operation>& op);
  void finishedRunning(const std::shared_ptr<Operation>& op);
};

// ---------------------------------------------------------------------------------------------------------------------

Operation::Operation(std::function<void()> block) {
  if (block) m_blocks.push_back(std::move(block));
}

void Operation::addExecutionBlock(std::function<void()> block) {
  if (!block) return;
  std::lock_guard lock(m_mutex);
  if (m_state == State::Executing || m_state == State::Finished) {
    log(QStringLiteral("Operation: block added after start ignored"));
    return;
  }
  m_blocks.push_back(std::move(block));
}

void Operation::setCompletionBlock(std::function<void()> block) {
  std::lock_guard lock(m_mutex);
  m_completion = std::move(block);
}

void Operation::cancel() {
  std::shared_ptr<OperationQueueCore> queue;
  {
    std::lock_guard lock(m_mutex);
    const bool first = !m_cancelled;
    m_cancelled = true;
    if (first && m_state == State::Queued) queue = m_queue.lock();
  }
  if (!queue) return;
  std::lock_guard lock(queue->mutex);
  auto it = std::find(queue->waiting.begin(), queue->waiting.end(), shared_from_this());
  if (it == queue->waiting.end()) return;  // started meanwhile: its waiting blocks are passed over
  std::shared_ptr<Operation> self = *it;
  queue->waiting.erase(it);
  queue->drop(self);
  queue->idle.notify_all();
}

bool Operation::isCancelled() const {
  std::lock_guard lock(m_mutex);
  return m_cancelled;
}

bool Operation::isFinished() const {
  std::lock_guard lock(m_mutex);
  return m_state == State::Finished;
}

void Operation::waitUntilFinished() {
  if (t_operation == this) {
    log(QStringLiteral("Operation: waitUntilFinished from its own block ignored"));
    return;
  }
  std::unique_lock lock(m_mutex);
  m_finishedCv.wait(lock, [&] { return m_state == State::Finished; });
}

void Operation::runBlocks(QThreadPool* helpers) {
  auto run = std::make_shared<BlockRun>();
  {
    std::lock_guard lock(m_mutex);
    run->blocks = std::exchange(m_blocks, {});
  }
  if (run->blocks.empty()) return;
  run->helpers = helpers;
  run->op = this;
  run->queue = t_queue;
  run->runAndWait();
}

std::function<void()> Operation::finish() {
  std::lock_guard lock(m_mutex);
  m_state = State::Finished;
  m_blocks.clear();
  m_finishedCv.notify_all();
  return std::exchange(m_completion, nullptr);
}

// ---------------------------------------------------------------------------------------------------------------------

void OperationQueueCore::pump() {
  while (!closed && int(running.size()) < max && !waiting.empty()) {
    std::shared_ptr<Operation> op = std::move(waiting.front());
    waiting.pop_front();
    bool cancelled;
    {
      std::lock_guard lock(op->m_mutex);
      cancelled = op->m_cancelled;  // cancelled while this thread was taking it
      if (!cancelled) op->m_state = Operation::State::Executing;
    }
    if (cancelled) {
      drop(op);
      continue;
    }
    running.push_back(op);
    start(pool.get(), [this, op] {
      {
        ScopedCurrent current(nullptr, this);
        op->runBlocks(helpers.get());
      }
      std::function<void()> completion = op->finish();
      {
        std::lock_guard lock(mutex);
        finishedRunning(op);
      }
      if (completion) completion();
    });
  }
}

void OperationQueueCore::finishedRunning(const std::shared_ptr<Operation>& op) {
  running.erase(std::find(running.begin(), running.end(), op));
  pump();
  idle.notify_all();
}

void OperationQueueCore::drop(const std::shared_ptr<Operation>& op) {
  std::function<void()> completion = op->finish();
  if (!completion) return;
  droppedCompletions.push_back(std::move(completion));
  if (draining) return;
  draining = true;
  // One thread runs the completions of dropped operations in order, however many were dropped at once.
  start(pool.get(), [this] {
    for (;;) {
      std::function<void()> next;
      {
        std::lock_guard lock(mutex);
        if (droppedCompletions.empty()) {
          draining = false;
          return;
        }
        next = std::move(droppedCompletions.front());
        droppedCompletions.pop_front();
      }
      next();
    }
  });
}

// ---------------------------------------------------------------------------------------------------------------------

OperationQueue::OperationQueue(int maxConcurrent) : m_core(std::make_shared<OperationQueueCore>()) {
  m_core->max = effectiveMax(maxConcurrent);
  m_core->pool = std::make_unique<QThreadPool>();
  m_core->pool->setMaxThreadCount(std::numeric_limits<int>::max());
  m_core->helpers = std::make_unique<QThreadPool>();
  m_core->helpers->setMaxThreadCount(m_core->max);
}

OperationQueue::~OperationQueue() {
  close();
  m_core->pool.reset();
  m_core->helpers.reset();
}

void OperationQueue::close() {
  cancelAllOperations();
  {
    std::lock_guard lock(m_core->mutex);
    m_core->closed = true;
  }
  // Runners finish first: they may still hand blocks to the helpers.
  m_core->pool->waitForDone();
  m_core->helpers->waitForDone();
}

void OperationQueue::addOperation(std::shared_ptr<Operation> op) {
  if (!op) return;
  std::lock_guard lock(m_core->mutex);
  {
    std::lock_guard opLock(op->m_mutex);
    if (op->m_state != Operation::State::Idle) {
      log(QStringLiteral("OperationQueue: operation added twice ignored"));
      return;
    }
    op->m_state = Operation::State::Queued;
    op->m_queue = m_core;
  }
  if (m_core->closed) {
    std::lock_guard opLock(op->m_mutex);
    op->m_state = Operation::State::Idle;
    return;
  }
  if (op->isCancelled()) {
    m_core->drop(op);
    return;
  }
  m_core->waiting.push_back(std::move(op));
  m_core->pump();
}

void OperationQueue::addOperationWithBlock(std::function<void()> block) {
  addOperation(std::make_shared<Operation>(std::move(block)));
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
  std::lock_guard lock(m_core->mutex);
  m_core->max = effectiveMax(count);
  m_core->helpers->setMaxThreadCount(m_core->max);
  m_core->pump();
}

int OperationQueue::maxConcurrentOperationCount() const {
  std::lock_guard lock(m_core->mutex);
  return m_core->max;
}

void OperationQueue::cancelAllOperations() {
  std::lock_guard lock(m_core->mutex);
  for (const auto& op : m_core->running) {
    std::lock_guard opLock(op->m_mutex);
    op->m_cancelled = true;
  }
  std::deque<std::shared_ptr<Operation>> dropped;
  dropped.swap(m_core->waiting);
  for (const auto& op : dropped) {
    {
      std::lock_guard opLock(op->m_mutex);
      op->m_cancelled = true;
    }
    m_core->drop(op);
  }
  m_core->idle.notify_all();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
  if (t_queue == m_core.get()) {
    log(QStringLiteral("OperationQueue: waitUntilAllOperationsAreFinished from its own block ignored"));
    return;
  }
  std::unique_lock lock(m_core->mutex);
  m_core->idle.wait(lock, [&] { return m_core->waiting.empty() && m_core->running.empty(); });
}

bool OperationQueue::waitUntilAllOperationsAreFinished(int timeoutMs) {
  if (t_queue == m_core.get()) {
    log(QStringLiteral("OperationQueue: waitUntilAllOperationsAreFinished from its own block ignored"));
    return false;
  }
  std::unique_lock lock(m_core->mutex);
  return m_core->idle.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                               [&] { return m_core->waiting.empty() && m_core->running.empty(); });
}

int OperationQueue::operationCount() const {
  std::lock_guard lock(m_core->mutex);
  return int(m_core->waiting.size() + m_core->running.size());
}

namespace {

// At exit it waits for what it still closes, before the singletons made earlier are destroyed.
OperationQueue& disposer() {
  static OperationQueue queue;
  return queue;
}

std::atomic<bool> g_waitsBeforeApplication{false};

// A disposed queue's last work may still draw (fonts, the picture threads of the application): it ends before the
// application object tears those down, as its destructor runs the post routines first.
void waitForDisposedQueues() {
  g_waitsBeforeApplication = false;
  disposer().waitUntilAllOperationsAreFinished();
}

}  // namespace

void OperationQueue::dispose(std::unique_ptr<OperationQueue> queue) {
  if (!queue) return;
  queue->cancelAllOperations();
  std::shared_ptr<OperationQueue> owned(std::move(queue));
  disposer().addOperationWithBlock([owned]() mutable { owned.reset(); });
  if (QCoreApplication::instance() && !g_waitsBeforeApplication.exchange(true)) qAddPostRoutine(waitForDisposedQueues);
}

}  // namespace ox
