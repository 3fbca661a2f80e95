#pragma once
#include <QImage>
#include <QObject>
#include <atomic>
#include <mutex>

namespace ox {

// Where a player's decoded pictures arrive: the latest frame as an image, and a signal on the main thread when a newer
// one is there. Frames come in faster than they are looked at, so signals are coalesced: one pending signal at a time,
// and a reader always gets the newest frame. Make it on the main thread; frames are published from libvlc's threads.
class VLCFrameSink : public QObject {
  Q_OBJECT
 public:
  explicit VLCFrameSink(QObject* parent = nullptr) : QObject(parent) {}

  // The newest frame (RGB32, square pixels, the picture's visible size); a null image before the first one. The image
  // shares the decoder's buffer, which is never written again while anyone holds it.
  QImage latestFrame() const;
  // Frames published so far.
  quint64 frameCount() const { return count_.load(); }

  // Producer side (any thread): makes frame the latest one.
  void publish(const QImage& frame);

 signals:
  // Main thread: a frame newer than the last one signalled has arrived.
  void frameArrived();

 private slots:
  void deliverFrame();

 private:
  mutable std::mutex mutex_;
  QImage latest_;
  std::atomic<quint64> count_{0};
  std::atomic<bool> pending_{false};
};

}  // namespace ox
