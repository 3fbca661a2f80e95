#pragma once
#include <QVariantList>
#include <memory>

#include "platform/foundation/KeyedArchiver.h"
#include "platform/layers/TextLayer.h"
#include "playback/OXPeerflix.h"

// One play request of a streamer view: the title as it was when Play was pressed, its start ratio, the subtitles
// fetched for it and the torrent-stream driver, which lives exactly from the request to its end or cancel. The
// title is kept so that a selection moved while the stream connects plays, and stores its ratio for, the title that
// was asked for. Main thread only.
class OXStreamRequest {
 public:
  OXStreamRequest() = default;
  ~OXStreamRequest() { stop(); }
  OXStreamRequest(const OXStreamRequest&) = delete;
  OXStreamRequest& operator=(const OXStreamRequest&) = delete;

  // Starts the driver with the record's first link, telling `delegate` and writing the peers into `status`. A
  // driver of an earlier request is stopped first, so one child runs at a time. False, with nothing running, when
  // the record has no link.
  bool start(const ox::CodingPtr& record, float ratio, const std::shared_ptr<OXPeerflixDelegate>& delegate,
             const std::shared_ptr<ox::TextLayer>& status);
  // The child ends, the driver forgets its delegate and goes; the title, ratio and subtitles stay for the player.
  void stop();

  // The OpenSubtitles search of the streamer views, synchronous on the calling thread: the subtitle cache is
  // emptied first, then the record is searched; the session stays open.
  static QVariantList searchSubtitles(const ox::CodingPtr& record);

  // The driver of the running request; empty before a request and after its end.
  std::shared_ptr<OXPeerflix> peerflix() const { return peerflix_; }
  ox::CodingPtr record() const { return record_; }
  float ratio() const { return ratio_; }
  QVariantList subtitles() const { return subtitles_; }
  void setSubtitles(const QVariantList& subtitles) { subtitles_ = subtitles; }

 private:
  std::shared_ptr<OXPeerflix> peerflix_;
  ox::CodingPtr record_;
  QVariantList subtitles_;
  float ratio_ = 0;
};
