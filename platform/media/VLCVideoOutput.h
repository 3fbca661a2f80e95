#pragma once
#include <QImage>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/media/VLCFrameSink.h"

struct libvlc_media_player_t;
struct libvlc_media_t;

namespace ox {

// libvlc's video callbacks for one player: decoded pictures are converted to RV32 into our own aligned buffers,
// which are wrapped as images and handed to the frame sink on display. Internal to the media framework.
class VLCVideoOutput {
 public:
  explicit VLCVideoOutput(std::shared_ptr<VLCFrameSink> sink) : sink_(std::move(sink)) {}
  ~VLCVideoOutput();
  VLCVideoOutput(const VLCVideoOutput&) = delete;
  VLCVideoOutput& operator=(const VLCVideoOutput&) = delete;

  // Installs the callbacks on mp; this object must outlive every use of mp.
  void attach(libvlc_media_player_t* mp);
  // The media being played, read for its visible picture size (libvlc offers only padded buffer sizes).
  void setMedia(libvlc_media_t* media);

  const std::shared_ptr<VLCFrameSink>& sink() const { return sink_; }

 private:
  struct Buffer {
    QImage image;
    unsigned char* data = nullptr;
    int generation = 0;
  };

  static unsigned format(void** opaque, char* chroma, unsigned* width, unsigned* height, unsigned* pitches,
                         unsigned* lines);
  static void cleanup(void* opaque);
  static void* lock(void* opaque, void** planes);
  static void display(void* opaque, void* picture);

  Buffer* takeBuffer();

  std::shared_ptr<VLCFrameSink> sink_;
  std::mutex mutex_;
  libvlc_media_t* media_ = nullptr;
  std::vector<std::unique_ptr<Buffer>> pool_;
  std::deque<Buffer*> inFlight_;  // handed to libvlc and not yet displayed, oldest first
  int width_ = 0, height_ = 0, pitch_ = 0, lines_ = 0, generation_ = 0;
};

}  // namespace ox
