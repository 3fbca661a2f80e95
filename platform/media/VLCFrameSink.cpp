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
  // Queued to this object: dropped by Qt if the sink is gone before the main loop gets to it. Posted by name, so the
  // event carries nothing of ours: a functor written on libvlc's thread would be handed over inside Qt's queue, whose
  // locks ThreadSanitizer cannot see.
  QMetaObject::invokeMethod(this, "deliverFrame", Qt::QueuedConnection);
}

void VLCFrameSink::deliverFrame() {
  pending_.store(false);
  emit frameArrived();
}

}  // namespace ox
