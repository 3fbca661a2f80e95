#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QThreadPool;

namespace ox {

class OperationQueue;
struct OperationQueueCore;

// A unit of work made of execution blocks that run concurrently with each other once the operation starts. Create
// with std::make_shared and hand to an OperationQueue; an operation runs at most once, on one queue.
//
// Finished means every block has returned (or, for an operation cancelled before it started, that it was dropped).
// The completion block runs exactly once after that, on a background thread, also for a dropped operation; it is
// not part of the wait: waitUntilFinished and the queue's waits may return before it has run (signal from the
// completion itself to wait for its effects).
class Operation : public std::enable_shared_from_this<Operation> {
 public:
  Operation() = default;
  explicit Operation(std::function<void()> block);
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

  // Ignored once the operation has started.
  void addExecutionBlock(std::function<void()> block);
  // Replaces any earlier completion; ignored once the completion has been taken to run.
  void setCompletionBlock(std::function<void()> block);

  // Not yet started: the blocks will not run. Already running: the blocks that have started run to their end, the
  // others are passed over.
  void cancel();
  bool isCancelled() const;
  bool isFinished() const;
  // Blocks until finished. Called from one of the operation's own blocks it returns at once (it would never end).
  void waitUntilFinished();

 private:
  friend class OperationQueue;
  friend struct OperationQueueCore;
  enum class State { Idle, Queued, Executing, Finished };

  void runBlocks(QThreadPool* helpers);
  // Marks the operation finished and answers the completion to run (once; empty afterwards).
  std::function<void()> finish();

  mutable std::mutex m_mutex;
  std::condition_variable m_finishedCv;
  State m_state = State::Idle;
  bool m_cancelled = false;
  std::vector<std::function<void()>> m_blocks;
  std::function<void()> m_completion;
  std::weak_ptr<OperationQueueCore> m_queue;
};

// Runs operations on a thread pool of its own, at most maxConcurrentOperationCount operations at once (the blocks
// inside one operation are not counted: they run on a second pool of the queue, and the thread that runs the
// operation takes blocks too, so an operation never waits for a thread that may not come). Completions do not hold a
// place. The destructor cancels what waits and waits for everything, completions included (so never destroy a
// queue from its own work).
class OperationQueue {
 public:
  // maxConcurrent < 1: QThread::idealThreadCount().
  explicit OperationQueue(int maxConcurrent = -1);
  ~OperationQueue();
  OperationQueue(const OperationQueue&) = delete;
  OperationQueue& operator=(const OperationQueue&) = delete;

  // An operation already queued, running or finished is ignored (with a log line); one cancelled before being added
  // finishes at once (its completion runs).
  void addOperation(std::shared_ptr<Operation> op);
  void addOperationWithBlock(std::function<void()> block);

  // count < 1: QThread::idealThreadCount(). Answers the limit in force.
  void setMaxConcurrentOperationCount(int count);
  int maxConcurrentOperationCount() const;

  // Waiting operations are dropped (their completions run); running ones are marked cancelled: their running blocks
  // end on their own, their blocks not yet started are passed over.
  void cancelAllOperations();
  // Blocks until no operation waits or runs. Called from a block of this queue it returns at once.
  void waitUntilAllOperationsAreFinished();
  // The same for at most `timeoutMs`: false when work still runs then (or when called from the queue's own work).
  bool waitUntilAllOperationsAreFinished(int timeoutMs);
  // What the destructor does, for a queue that outlives its use (a process-wide one at exit): cancels what waits,
  // takes no more operations and waits for everything, completions included. Never from the queue's own work.
  void close();
  // Operations waiting or running.
  int operationCount() const;

  // Lets an owner that goes away (a view on the main thread) drop its queue without waiting: what waits is
  // cancelled, what runs finishes on its own, and the queue is closed and destroyed on a background thread. Work
  // that must not outlive its owner checks a token of its own (an HttpCancel for its downloads). The application
  // object, as it goes, waits for what still runs there.
  static void dispose(std::unique_ptr<OperationQueue> queue);

 private:
  std::shared_ptr<OperationQueueCore> m_core;
};

}  // namespace ox
