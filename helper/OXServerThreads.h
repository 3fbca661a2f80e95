#pragma once
#include <httplib.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// The library server's connection threads. A connection keeps its thread while a player streams a movie or waits
// between kept-alive requests, so a fixed pool would leave the next client waiting behind them: a thread is added
// whenever none is free, up to a bound, and one that stays idle for a while ends.
class OXServerThreads final : public httplib::TaskQueue {
 public:
  explicit OXServerThreads(size_t maxThreads, int idleSeconds = 30);
  ~OXServerThreads() override;

  void enqueue(std::function<void()> fn) override;
  // Runs what was queued, then waits for every thread to end.
  void shutdown() override;

  size_t threadCount() const;

 private:
  void work();

  const size_t maxThreads_;
  const int idleSeconds_;
  mutable std::mutex mutex_;
  std::condition_variable wake_, ended_;
  std::deque<std::function<void()>> jobs_;
  size_t threads_ = 0, waiting_ = 0;
  bool stopping_ = false;
};
