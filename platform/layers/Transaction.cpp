#include "platform/layers/Transaction.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_set>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/layers/Layer.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/LayerInternal.h"

namespace ox {
namespace detail {

struct LayerAccess {
  static void markSubtreeFlag(Layer* l) { l->markSubtreeFlag(); }
  static void layoutTree(Layer* l) { l->layoutTree(); }
  static bool needsLayout(const Layer* l) { return l->needsLayout_; }
  static const std::vector<LayerAnimation>& animations(const Layer* l) { return l->animations_; }
  static void dropEndedAnimations(Layer* l, double now) { l->dropEndedAnimations(now); }
};

namespace {

struct CompletionGroup {
  std::function<void()> block;
  std::vector<std::pair<std::weak_ptr<Layer>, quint64>> animations;
};

struct Entry {
  std::optional<double> duration;
  std::optional<TimingFunction> timing;
  std::optional<bool> disable;
  std::shared_ptr<CompletionGroup> group;
  bool implicit = false;
};

std::vector<Entry> g_stack;
std::vector<std::shared_ptr<CompletionGroup>> g_committed;
std::unordered_set<Layer*> g_pendingLayout;
// When animations end, soonest first (a heap), and their layers.
using Ending = std::pair<double, std::weak_ptr<Layer>>;
std::vector<Ending> g_ending;
const auto g_later = [](const Ending& a, const Ending& b) { return a.first > b.first; };
std::vector<std::pair<int, std::function<void()>>> g_observers;
int g_nextObserver = 1;
bool g_flushPosted = false;
bool g_dirty = false;
quint64 g_generation = 1;

bool g_manual = false;
double g_manualTime = 0;
QElapsedTimer& realClock() {
  static QElapsedTimer t = [] {
    QElapsedTimer e;
    e.start();
    return e;
  }();
  return t;
}

QTimer* completionTimer() {
  static QPointer<QTimer> timer;
  if (!timer && QCoreApplication::instance()) {
    timer = new QTimer(QCoreApplication::instance());
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, [] { processCompletions(); });
  }
  return timer;
}

// When the group's last live animation ends; -inf when it waits for nothing.
double groupEnd(const CompletionGroup& g) {
  double end = -INFINITY;
  for (const auto& [weak, id] : g.animations) {
    LayerPtr l = weak.lock();
    if (!l) continue;
    for (const auto& a : LayerAccess::animations(l.get()))
      if (a.id == id) end = std::max(end, a.endTime());
  }
  return end;
}

void armCompletionTimer() {
  QTimer* timer = completionTimer();
  if (!timer || g_committed.empty()) return;
  const double now = LayerClock::now();
  double next = INFINITY;
  for (const auto& g : g_committed) next = std::min(next, groupEnd(*g));
  if (next <= now) {
    timer->start(0);
  } else if (!g_manual) {
    timer->start(int(std::ceil((next - now) * 1000.0)));
  }
}

Entry& top() {
  if (g_stack.empty()) {
    Entry e;
    e.implicit = true;
    g_stack.push_back(e);
    markDirty();  // the implicit transaction commits at the next flush
  }
  return g_stack.back();
}

void commitEntry(Entry e) {
  if (!e.group) return;
  g_committed.push_back(e.group);
  armCompletionTimer();
}

}  // namespace

double transactionDuration() {
  for (auto it = g_stack.rbegin(); it != g_stack.rend(); ++it)
    if (it->duration) return *it->duration;
  return 0.25;
}

TimingFunction transactionTiming() {
  for (auto it = g_stack.rbegin(); it != g_stack.rend(); ++it)
    if (it->timing) return *it->timing;
  return TimingFunction::defaultFunction();
}

bool actionsDisabled() {
  for (auto it = g_stack.rbegin(); it != g_stack.rend(); ++it)
    if (it->disable) return *it->disable;
  return false;
}

void registerAnimation(const std::weak_ptr<Layer>& layer, quint64 id) {
  for (auto& e : g_stack)
    if (e.group) e.group->animations.emplace_back(layer, id);
}

void animationEnds(const std::weak_ptr<Layer>& layer, double end) {
  g_ending.emplace_back(end, layer);
  std::push_heap(g_ending.begin(), g_ending.end(), g_later);
}

namespace {

void dropEndedAnimations() {
  const double now = LayerClock::now();
  while (!g_ending.empty() && g_ending.front().first <= now) {
    std::pop_heap(g_ending.begin(), g_ending.end(), g_later);
    if (const LayerPtr l = g_ending.back().second.lock()) LayerAccess::dropEndedAnimations(l.get(), now);
    g_ending.pop_back();
  }
}

}  // namespace

bool completionWaiting() {
  return std::any_of(g_stack.begin(), g_stack.end(), [](const Entry& e) { return bool(e.group); });
}

void markDirty() {
  g_dirty = true;
  if (g_flushPosted || !QCoreApplication::instance()) return;
  g_flushPosted = true;
  QTimer::singleShot(0, QCoreApplication::instance(), [] {
    if (g_flushPosted) Transaction::flush();
  });
}

void addPendingLayout(Layer* layer) { g_pendingLayout.insert(layer); }
const std::unordered_set<Layer*>& pendingLayouts() { return g_pendingLayout; }
void removePendingLayout(Layer* layer) { g_pendingLayout.erase(layer); }

void propagatePendingLayout() {
  for (Layer* l : g_pendingLayout) LayerAccess::markSubtreeFlag(l);
}

quint64 flushGeneration() { return g_generation; }

void processCompletions() {
  const double now = LayerClock::now();
  std::vector<std::shared_ptr<CompletionGroup>> due;
  for (auto it = g_committed.begin(); it != g_committed.end();) {
    if (groupEnd(**it) <= now) {
      due.push_back(*it);
      it = g_committed.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& g : due)
    if (g->block) g->block();
  armCompletionTimer();
}

}  // namespace detail

using namespace detail;

void Transaction::begin() { g_stack.push_back(Entry{}); }

void Transaction::commit() {
  if (g_stack.empty() || g_stack.back().implicit) {
    log(QStringLiteral("Transaction: commit without begin"));
    return;
  }
  Entry e = std::move(g_stack.back());
  g_stack.pop_back();
  commitEntry(std::move(e));
}

void Transaction::flush() {
  g_flushPosted = false;
  dropEndedAnimations();
  while (!g_stack.empty() && g_stack.back().implicit) {
    Entry e = std::move(g_stack.back());
    g_stack.pop_back();
    commitEntry(std::move(e));
  }
  for (int round = 0; round < 8 && !g_pendingLayout.empty(); ++round) {
    propagatePendingLayout();
    std::vector<LayerPtr> roots;
    const std::vector<Layer*> pending(g_pendingLayout.begin(), g_pendingLayout.end());
    for (Layer* l : pending) {
      if (!g_pendingLayout.count(l)) continue;
      LayerPtr root = l->weak_from_this().lock();
      if (!root) {
        g_pendingLayout.erase(l);
        continue;
      }
      while (auto p = root->superlayer()) root = p;
      if (std::find(roots.begin(), roots.end(), root) == roots.end()) roots.push_back(root);
    }
    for (const auto& r : roots) LayerAccess::layoutTree(r.get());
    // Layers that asked for layout outside any tree that was laid out (no longer reachable): let them go.
    for (Layer* l : pending)
      if (g_pendingLayout.count(l) && !LayerAccess::needsLayout(l)) g_pendingLayout.erase(l);
  }
  ++g_generation;
  if (g_dirty) {
    g_dirty = false;
    const auto observers = g_observers;
    for (const auto& [id, f] : observers) f();
  }
}

double Transaction::animationDuration() { return transactionDuration(); }
void Transaction::setAnimationDuration(double seconds) {
  top().duration = std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0;
}
TimingFunction Transaction::animationTimingFunction() { return transactionTiming(); }
void Transaction::setAnimationTimingFunction(const TimingFunction& f) { top().timing = f; }
bool Transaction::disableActions() { return actionsDisabled(); }
void Transaction::setDisableActions(bool disable) { top().disable = disable; }

void Transaction::setCompletionBlock(std::function<void()> block) {
  auto g = std::make_shared<CompletionGroup>();
  g->block = std::move(block);
  top().group = g;
}

int Transaction::depth() { return int(g_stack.size()); }

int Transaction::addFlushObserver(std::function<void()> observer) {
  g_observers.emplace_back(g_nextObserver, std::move(observer));
  return g_nextObserver++;
}

void Transaction::removeFlushObserver(int id) {
  std::erase_if(g_observers, [id](const auto& o) { return o.first == id; });
}

// --- clock --------------------------------------------------------------------------------------------------------

double LayerClock::now() {
  if (g_manual) return g_manualTime;
  return double(realClock().nsecsElapsed()) / 1e9;
}

void LayerClock::setManualTime(double seconds) {
  g_manual = true;
  g_manualTime = seconds;
}

void LayerClock::advance(double seconds) {
  if (!g_manual) return;
  if (seconds > 0) g_manualTime += seconds;
  processCompletions();
}

void LayerClock::useRealTime() {
  g_manual = false;
  armCompletionTimer();
}

bool LayerClock::isManual() { return g_manual; }

}  // namespace ox
