#include "platform/media/VLCVideoOutput.h"

#include <vlc/vlc.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace ox {

namespace {
// Pictures libvlc may hold at once; a buffer handed out longer ago than that and never displayed was a dropped frame.
constexpr unsigned kPictures = 3;
// Buffers kept for reuse beyond those in flight and the one on show.
constexpr size_t kPoolCap = 6;
constexpr unsigned kMaxSide = 8192;

unsigned alignUp(unsigned v, unsigned a) { return (v + a - 1) / a * a; }
}  // namespace

VLCVideoOutput::~VLCVideoOutput() {
  if (media_) libvlc_media_release(media_);
}

void VLCVideoOutput::attach(libvlc_media_player_t* mp) {
  libvlc_video_set_callbacks(mp, &VLCVideoOutput::lock, nullptr, &VLCVideoOutput::display, this);
  libvlc_video_set_format_callbacks(mp, &VLCVideoOutput::format, &VLCVideoOutput::cleanup);
}

void VLCVideoOutput::setMedia(libvlc_media_t* media) {
  if (media) libvlc_media_retain(media);
  libvlc_media_t* old = nullptr;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    old = media_;
    media_ = media;
  }
  if (old) libvlc_media_release(old);
}

unsigned VLCVideoOutput::format(void** opaque, char* chroma, unsigned* width, unsigned* height, unsigned* pitches,
                                unsigned* lines) {
  auto* self = static_cast<VLCVideoOutput*>(*opaque);
  unsigned w = *width, h = *height;
  // libvlc offers the decoder's padded buffer size and would stretch the picture into it; ask for the visible size
  // (with non-square pixels made square) when the media's track list knows it.
  libvlc_media_t* media = nullptr;
  {
    std::lock_guard<std::mutex> guard(self->mutex_);
    media = self->media_;
    if (media) libvlc_media_retain(media);
  }
  if (media) {
    libvlc_media_track_t** tracks = nullptr;
    const unsigned n = libvlc_media_tracks_get(media, &tracks);
    for (unsigned i = 0; i < n; ++i) {
      const libvlc_media_track_t* t = tracks[i];
      if (t->i_type != libvlc_track_video || !t->video || !t->video->i_width || !t->video->i_height) continue;
      w = t->video->i_width;
      h = t->video->i_height;
      if (t->video->i_sar_num && t->video->i_sar_den && t->video->i_sar_num != t->video->i_sar_den)
        w = unsigned(std::lround(double(w) * t->video->i_sar_num / t->video->i_sar_den));
      break;
    }
    if (n) libvlc_media_tracks_release(tracks, n);
    libvlc_media_release(media);
  }
  w = std::clamp(w, 2u, kMaxSide);
  h = std::clamp(h, 2u, kMaxSide);
  std::memcpy(chroma, "RV32", 4);
  *width = w;
  *height = h;
  const unsigned pitch = alignUp(w * 4, 64);  // libvlc wants 32-byte aligned planes and lines
  const unsigned lineCount = alignUp(h, 16);
  pitches[0] = pitch;
  lines[0] = lineCount;
  std::lock_guard<std::mutex> guard(self->mutex_);
  self->width_ = int(w);
  self->height_ = int(h);
  self->pitch_ = int(pitch);
  self->lines_ = int(lineCount);
  ++self->generation_;
  self->inFlight_.clear();
  return kPictures;
}

void VLCVideoOutput::cleanup(void* opaque) {
  auto* self = static_cast<VLCVideoOutput*>(opaque);
  std::lock_guard<std::mutex> guard(self->mutex_);
  // Images already handed out keep their buffers alive until their last reader lets go.
  self->inFlight_.clear();
  self->pool_.clear();
}

VLCVideoOutput::Buffer* VLCVideoOutput::takeBuffer() {
  while (inFlight_.size() >= kPictures) inFlight_.pop_front();
  auto inFlight = [this](const Buffer* b) { return std::find(inFlight_.begin(), inFlight_.end(), b) != inFlight_.end(); };
  Buffer* chosen = nullptr;
  // A buffer is free once libvlc is done with it and no reader (the sink's latest frame included) holds its image.
  for (auto& b : pool_) {
    if (b->generation == generation_ && !inFlight(b.get()) && b->image.isDetached()) {
      chosen = b.get();
      break;
    }
  }
  if (!chosen) {
    auto b = std::make_unique<Buffer>();
    b->generation = generation_;
    b->data = static_cast<unsigned char*>(std::aligned_alloc(64, size_t(pitch_) * size_t(lines_)));
    Q_CHECK_PTR(b->data);
    b->image = QImage(b->data, width_, height_, pitch_, QImage::Format_RGB32, [](void* p) { std::free(p); }, b->data);
    chosen = b.get();
    pool_.push_back(std::move(b));
  }
  inFlight_.push_back(chosen);
  for (auto it = pool_.begin(); it != pool_.end() && pool_.size() > kPoolCap;) {
    if (it->get() != chosen && !inFlight(it->get()))
      it = pool_.erase(it);
    else
      ++it;
  }
  for (auto it = pool_.begin(); it != pool_.end();) {
    if ((*it)->generation != generation_ && !inFlight(it->get()))
      it = pool_.erase(it);
    else
      ++it;
  }
  return chosen;
}

void* VLCVideoOutput::lock(void* opaque, void** planes) {
  auto* self = static_cast<VLCVideoOutput*>(opaque);
  std::lock_guard<std::mutex> guard(self->mutex_);
  Buffer* b = self->takeBuffer();
  // libvlc writes behind the image's back; asking for its writable bits gives it a new cache key, so a renderer's
  // scaled copy of the picture the buffer held before is not shown for this one. The buffer is free, so no copy.
  planes[0] = b->image.bits();
  Q_ASSERT(planes[0] == b->data);
  return b;
}

void VLCVideoOutput::display(void* opaque, void* picture) {
  auto* self = static_cast<VLCVideoOutput*>(opaque);
  QImage frame;
  {
    std::lock_guard<std::mutex> guard(self->mutex_);
    auto* b = static_cast<Buffer*>(picture);
    auto it = std::find_if(self->pool_.begin(), self->pool_.end(), [b](const auto& p) { return p.get() == b; });
    if (it == self->pool_.end()) return;
    self->inFlight_.erase(std::remove(self->inFlight_.begin(), self->inFlight_.end(), b), self->inFlight_.end());
    frame = b->image;
  }
  if (self->sink_) self->sink_->publish(frame);
}

}  // namespace ox
