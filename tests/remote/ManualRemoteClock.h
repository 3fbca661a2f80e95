#pragma once
#include <functional>
#include <map>
#include <utility>

#include "remote/RemoteClock.h"

// A clock that moves only when told; due blocks run in time order (then in the order they were scheduled).
class ManualRemoteClock final : public RemoteClock {
 public:
  double now() const override { return m_now; }
  void after(double seconds, std::function<void()> block) override {
    m_blocks.emplace(std::make_pair(m_now + (seconds > 0 ? seconds : 0), m_serial++), std::move(block));
  }
  void advance(double seconds) {
    const double until = m_now + seconds;
    while (!m_blocks.empty() && m_blocks.begin()->first.first <= until + 1e-9) {
      auto node = m_blocks.extract(m_blocks.begin());
      m_now = std::max(m_now, node.key().first);
      node.mapped()();
    }
    m_now = until;
  }
  // The main loop was stalled: time moves on without running anything; the next advance runs what fell due.
  void stall(double seconds) { m_now += seconds; }
  size_t pending() const { return m_blocks.size(); }

 private:
  double m_now = 100.0;
  unsigned long long m_serial = 0;
  std::map<std::pair<double, unsigned long long>, std::function<void()>> m_blocks;
};
