#include "platform/foundation/MainQueue.h"

#include "platform/foundation/Handoff.h"
#include "platform/foundation/Log.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <functional>
#include <limits>
#include <utility>

namespace ox {

namespace {

// The longest single timer Qt accepts (its interval is an int of milliseconds); longer waits re-arm.
constexpr qint64 kMaxTimerMs = std::numeric_limits<int>::max();

const QEvent::Type kBlockEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

struct BlockEvent : QEvent {
  explicit BlockEvent(std::function<void()> b) : QEvent(kBlockEventType), block(std::move(b)) {
    detail::handoffRelease(this);
  }
  std::function<void()> block;
};

// Lives on the main thread and runs the blocks posted to it.
class MainReceiver : public QObject {
 public:
  static MainReceiver* instance(QCoreApplication* app) {
    static MainReceiver* const receiver = [app] {
      auto* r = new MainReceiver;
      r->moveToThread(app->thread());
      return r;
    }();
    return receiver;
  }

 protected:
  void customEvent(QEvent* event) override {
    if (event->type() != kBlockEventType) return;
    detail::handoffAcquire(event);
    auto* e = static_cast<BlockEvent*>(event);
    if (e->block) std::exchange(e->block, nullptr)();
  }
};

void armTimer(QDeadlineTimer deadline, std::function<void()> block) {
  const qint64 leftNs = deadline.remainingTimeNSecs();
  if (leftNs <= 0) {
    block();
    return;
  }
  // Round up so the block never runs before its time.
  const qint64 ms = std::min<qint64>((leftNs + 999'999) / 1'000'000, kMaxTimerMs);
  QTimer::singleShot(std::chrono::milliseconds(ms), Qt::PreciseTimer, QCoreApplication::instance(),
                     [deadline, block = std::move(block)]() mutable { armTimer(deadline, std::move(block)); });
}

}  // namespace

void dispatchMain(std::function<void()> block) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) {
    log(QStringLiteral("dispatchMain: no application, block dropped"));
    return;
  }
  // Posted events to one receiver keep their order.
  QCoreApplication::postEvent(MainReceiver::instance(app), new BlockEvent(std::move(block)));
}

void dispatchMainAfter(double seconds, std::function<void()> block) {
  if (!(seconds > 0)) {  // also NaN
    dispatchMain(std::move(block));
    return;
  }
  const double ns = seconds * 1e9;
  // QDeadlineTimer saturates at "forever" for very long waits, which is what such a delay means.
  const QDeadlineTimer deadline = ns >= double(std::numeric_limits<qint64>::max())
                                      ? QDeadlineTimer(QDeadlineTimer::Forever)
                                      : QDeadlineTimer(std::chrono::nanoseconds(qint64(ns)), Qt::PreciseTimer);
  if (deadline.isForever()) return;  // never due: nothing to keep
  dispatchMain([deadline, block = std::move(block)]() mutable { armTimer(deadline, std::move(block)); });
}

void performOnMainThread(QObject* guard, std::function<void()> block) {
  if (isMainThread()) return block();
  dispatchMain([alive = QPointer<QObject>(guard), block = std::move(block)] {
    if (alive) block();
  });
}

bool isMainThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

}  // namespace ox
