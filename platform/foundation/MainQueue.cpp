#include "platform/foundation/MainQueue.h"

#include "platform/foundation/Log.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <limits>

namespace ox {

namespace {

// The longest single timer Qt accepts (its interval is an int of milliseconds); longer waits re-arm.
constexpr qint64 kMaxTimerMs = std::numeric_limits<int>::max();

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
  // A queued call is a posted event; posted events to one receiver keep their order.
  QMetaObject::invokeMethod(app, std::move(block), Qt::QueuedConnection);
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

bool isMainThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

}  // namespace ox
