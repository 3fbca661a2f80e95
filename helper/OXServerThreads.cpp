#include "helper/OXServerThreads.h"

#include <thread>

OXServerThreads::OXServerThreads(size_t maxThreads, int idleSeconds)
    : maxThreads_(maxThreads < 1 ? 1 : maxThreads), idleSeconds_(idleSeconds) {}

OXServerThreads::~OXServerThreads() { shutdown(); }

void OXServerThreads::enqueue(std::function<void()> fn) {
  std::lock_guard hold(mutex_);
  if (stopping_) return;
  jobs_.push_back(std::move(fn));
  // A woken thread leaves the waiting count only when it runs, so two quick jobs may start one thread too many,
  // never one too few.
  if (waiting_ >= jobs_.size()) {
    wake_.notify_one();
  } else if (threads_ < maxThreads_) {
    ++threads_;
    std::thread([this] { work(); }).detach();
  }
}

void OXServerThreads::work() {
  std::unique_lock hold(mutex_);
  for (;;) {
    ++waiting_;
    const bool woken = wake_.wait_for(hold, std::chrono::seconds(idleSeconds_),
                                      [this] { return !jobs_.empty() || stopping_; });
    --waiting_;
    if (jobs_.empty() && (stopping_ || !woken)) break;
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    hold.unlock();
    job();
    job = nullptr;
    hold.lock();
  }
  // The last touch of this object: shutdown() returns only once the count is zero and the lock is free.
  --threads_;
  ended_.notify_all();
}

void OXServerThreads::shutdown() {
  std::unique_lock hold(mutex_);
  stopping_ = true;
  wake_.notify_all();
  ended_.wait(hold, [this] { return threads_ == 0; });
}

size_t OXServerThreads::threadCount() const {
  std::lock_guard hold(mutex_);
  return threads_;
}
