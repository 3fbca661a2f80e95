#pragma once
#include <QVariantList>
#include <memory>

#include "platform/foundation/KeyedArchiver.h"
#include "platform/layers/TextLayer.h"
#include "playback/OXPeerflix.h"
#include "playback/OXPlayerController.h"

// One play request of a streamer view: the title as it was when Play was pressed, its start ratio, the subtitles
// fetched for it, the stream's address and the torrent-stream driver, which lives exactly from the request to its
// end or cancel. The title is kept so that a selection moved while the stream connects plays, and stores its ratio
// for, the title that was asked for. Main thread only.
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

  // The driver of the running request; empty before a request and after its end.
  std::shared_ptr<OXPeerflix> peerflix() const { return peerflix_; }
  ox::CodingPtr record() const { return record_; }
  float ratio() const { return ratio_; }
  QVariantList subtitles() const { return subtitles_; }
  // The search's answer, possibly empty: the player waits for it as for the stream.
  void setSubtitles(const QVariantList& subtitles) {
    subtitles_ = subtitles;
    subtitlesIn_ = true;
  }
  // The stream's local address once the driver has reported it; empty before.
  QString address() const { return address_; }
  void setAddress(const QString& address) { address_ = address; }
  // The driver runs and both its stream's address and the subtitles are in, so the player may open.
  bool isReadyToPlay() const { return peerflix_ && !address_.isEmpty() && subtitlesIn_; }
  // The player of the stream, for the title, ratio and subtitles of the request.
  std::shared_ptr<OXPlayerController> openPlayer() const;

 private:
  std::shared_ptr<OXPeerflix> peerflix_;
  ox::CodingPtr record_;
  QVariantList subtitles_;
  QString address_;
  bool subtitlesIn_ = false;
  float ratio_ = 0;
};
