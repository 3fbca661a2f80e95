#include "platform/media/VLCFrameSink.h"

#include <QMetaObject>

namespace ox {

QImage VLCFrameSink::latestFrame() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return latest_;
}

void VLCFrameSink::publish(const QImage& frame) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    latest_ = frame;
  }
  count_.fetch_add(1);
  if (pending_.exchange(true)) return;
  // Queued to this object: dropped by Qt if the sink is gone before the main loop gets to it.
  QMetaObject::invokeMethod(
      this,
      [this] {
        pending_.store(false);
        emit frameArrived();
      },
      Qt::QueuedConnection);
}

}  // namespace ox
