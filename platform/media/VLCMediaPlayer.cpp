#include "platform/media/VLCMediaPlayer.h"

#include <vlc/vlc.h>

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "platform/foundation/MainQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/media/VLCLibrary.h"
#include "platform/media/VLCVideoOutput.h"
#include "platform/media/VLCVideoView.h"

namespace ox {

namespace {
constexpr qint64 kShortJumpMs = 10 * 1000;
constexpr qint64 kMediumJumpMs = 60 * 1000;
constexpr qint64 kLongJumpMs = 5 * 60 * 1000;
// How close to its length a title's last time report must come for its end to count as the title's end.
constexpr qint64 kEndSlackMs = 2000;
// libvlc carries a seek out on its own thread and goes on reporting the old place until then, and reports already
// queued for the main thread come after the seek too. Until a report comes from the target on (less this slack), and
// short of the old place for a seek back, the old place is not taken back; a seek that never takes is given up on
// after the patience.
constexpr qint64 kSeekSlackMs = 1000;
constexpr qint64 kSeekPatienceMs = 5000;

const libvlc_event_e kEvents[] = {
    libvlc_MediaPlayerOpening,     libvlc_MediaPlayerBuffering,        libvlc_MediaPlayerPlaying,
    libvlc_MediaPlayerPaused,      libvlc_MediaPlayerStopped,          libvlc_MediaPlayerEndReached,
    libvlc_MediaPlayerEncounteredError, libvlc_MediaPlayerTimeChanged, libvlc_MediaPlayerPositionChanged,
    libvlc_MediaPlayerLengthChanged,
};

struct TrackList {
  QList<int> ids;
  QStringList names;
};

TrackList readTracks(libvlc_track_description_t* list) {
  TrackList out;
  for (libvlc_track_description_t* d = list; d; d = d->p_next) {
    out.ids << d->i_id;
    out.names << QString::fromUtf8(d->psz_name ? d->psz_name : "");
  }
  if (list) libvlc_track_description_list_release(list);
  return out;
}
}  // namespace

// A libvlc event reduced to the values read on the main thread.
struct VLCMediaPlayer::Event {
  int type = 0;
  qint64 time = 0;
  qint64 length = 0;
  float cache = 0;
  float position = 0;
};

void VLCAudio::setVolume(int volume) {
  volume_ = std::clamp(volume, 0, 200);
  if (mp_) libvlc_audio_set_volume(mp_, volume_);
}

void VLCAudio::setMute(bool muted) {
  muted_ = muted;
  if (mp_) libvlc_audio_set_mute(mp_, muted_ ? 1 : 0);
}

void VLCAudio::apply() {
  if (!mp_) return;
  libvlc_audio_set_volume(mp_, volume_);
  libvlc_audio_set_mute(mp_, muted_ ? 1 : 0);
}

VLCMediaPlayer::VLCMediaPlayer(std::shared_ptr<VLCFrameSink> sink) : token_(std::make_shared<Token>(Token{this})) {
  libvlc_instance_t* vlc = VLCLibrary::sharedInstance();
  if (!vlc) return;
  mp_ = libvlc_media_player_new(vlc);
  if (!mp_) return;
  audio_.mp_ = mp_;
  if (sink) {
    video_ = std::make_unique<VLCVideoOutput>(std::move(sink));
    video_->attach(mp_);
  }
  eventContext_ = new std::weak_ptr<Token>(token_);
  libvlc_event_manager_t* em = libvlc_media_player_event_manager(mp_);
  for (libvlc_event_e type : kEvents) libvlc_event_attach(em, type, &VLCMediaPlayer::onEvent, eventContext_);
  holder_ = VLCLibrary::addHolder([this] { letGoOfLibvlc(); });
}

std::shared_ptr<VLCMediaPlayer> VLCMediaPlayer::initWithVideoView(const std::shared_ptr<VLCVideoView>& videoView) {
  return std::make_shared<VLCMediaPlayer>(videoView ? videoView->frameSink() : nullptr);
}

VLCMediaPlayer::~VLCMediaPlayer() {
  VLCLibrary::removeHolder(holder_);
  letGoOfLibvlc();
  delete eventContext_;
  video_.reset();
}

void VLCMediaPlayer::letGoOfLibvlc() {
  token_.reset();  // anything still queued for this player is dropped from here on
  if (!mp_) return;
  libvlc_media_player_stop(mp_);
  libvlc_media_player_release(mp_);  // no callback runs after this
  mp_ = nullptr;
  audio_.mp_ = nullptr;
  if (video_) video_->setMedia(nullptr);
}

// libvlc's thread, with libvlc's event lock held: copy the values and leave; calling libvlc here would deadlock.
void VLCMediaPlayer::onEvent(const libvlc_event_t* e, void* opaque) {
  Event ev;
  ev.type = e->type;
  switch (e->type) {
    case libvlc_MediaPlayerBuffering:
      ev.cache = e->u.media_player_buffering.new_cache;
      break;
    case libvlc_MediaPlayerTimeChanged:
      ev.time = e->u.media_player_time_changed.new_time;
      break;
    case libvlc_MediaPlayerPositionChanged:
      ev.position = e->u.media_player_position_changed.new_position;
      break;
    case libvlc_MediaPlayerLengthChanged:
      ev.length = e->u.media_player_length_changed.new_length;
      break;
    default:
      break;
  }
  std::weak_ptr<Token> token = *static_cast<std::weak_ptr<Token>*>(opaque);
  dispatchMain([token, ev] {
    if (auto t = token.lock()) t->player->handle(ev);
  });
}

void VLCMediaPlayer::handle(const Event& ev) {
  switch (ev.type) {
    case libvlc_MediaPlayerOpening:
      vlcState_ = libvlc_Opening;
      cache_ = -1;
      time_ = playedTime_ = 0;
      jumpTarget_ = seekTarget_ = -1;
      position_ = 0;
      updateState();
      break;
    case libvlc_MediaPlayerBuffering: {
      cache_ = ev.cache;
      QPointer<VLCMediaPlayer> self(this);
      emit bufferingChanged(ev.cache);
      if (self) updateState();
      break;
    }
    case libvlc_MediaPlayerPlaying:
      vlcState_ = libvlc_Playing;
      audio_.apply();  // a new audio output starts from libvlc's defaults
      updateState();
      break;
    case libvlc_MediaPlayerPaused:
      vlcState_ = libvlc_Paused;
      updateState();
      break;
    case libvlc_MediaPlayerStopped:
      vlcState_ = libvlc_Stopped;
      updateState();
      break;
    case libvlc_MediaPlayerEndReached:
      vlcState_ = libvlc_Ended;
      finished_ = true;
      // libvlc's last time report falls a little short of the end. An input that ends well before its length (a
      // cut file, a stream whose connection dropped) keeps the point it reached: the last one played, not the target
      // of a jump past the end of its data.
      if (length_ > 0 && length_ - time_ < kEndSlackMs) {
        time_ = length_;
        position_ = 1;
      } else if (length_ > 0) {
        time_ = playedTime_;
        position_ = float(double(time_) / double(length_));
      }
      updateState();
      break;
    case libvlc_MediaPlayerEncounteredError:
      vlcState_ = libvlc_Error;
      finished_ = true;
      updateState();
      break;
    case libvlc_MediaPlayerTimeChanged:
      if (vlcState_ == libvlc_Ended || !settlesSeek(ev.time)) break;
      seekTarget_ = -1;
      time_ = ev.time;
      // A jump's first report is only its target; playback has gone from there once a later time comes.
      if (jumpTarget_ < 0 || ev.time > jumpTarget_) {
        playedTime_ = ev.time;
        jumpTarget_ = -1;
      }
      notify(true);
      break;
    case libvlc_MediaPlayerPositionChanged:
      // libvlc sends it just before the time of the same report, which settles the seek.
      if (vlcState_ != libvlc_Ended && settlesSeek(qint64(double(ev.position) * double(length_))))
        position_ = ev.position;
      break;
    case libvlc_MediaPlayerLengthChanged:
      length_ = ev.length;
      break;
    default:
      break;
  }
}

bool VLCMediaPlayer::settlesSeek(qint64 reportedMs) const {
  if (seekTarget_ < 0 || seekClock_.elapsed() > kSeekPatienceMs) return true;
  return reportedMs >= seekTarget_ - kSeekSlackMs && (seekTarget_ >= seekFrom_ || reportedMs < seekFrom_);
}

void VLCMediaPlayer::awaitSeek(qint64 fromMs, qint64 targetMs) {
  seekFrom_ = fromMs;
  seekTarget_ = targetMs;
  seekClock_.start();
}

// libvlc reports buffering apart from its state; while it opens or plays with an unfilled cache we are buffering.
void VLCMediaPlayer::updateState() {
  const bool filling = cache_ >= 0 && cache_ < 100;
  VLCMediaPlayerState s = state_;
  switch (vlcState_) {
    case libvlc_Opening:
      s = filling ? VLCMediaPlayerStateBuffering : VLCMediaPlayerStateOpening;
      break;
    case libvlc_Playing:
      s = filling ? VLCMediaPlayerStateBuffering : VLCMediaPlayerStatePlaying;
      break;
    case libvlc_Paused:
      s = VLCMediaPlayerStatePaused;
      break;
    case libvlc_Stopped:
      s = VLCMediaPlayerStateStopped;
      break;
    case libvlc_Ended:
      s = VLCMediaPlayerStateEnded;
      break;
    case libvlc_Error:
      s = VLCMediaPlayerStateError;
      break;
    default:
      break;
  }
  if (s == state_) return;
  state_ = s;
  notify(false);
}

void VLCMediaPlayer::notify(bool timeChange) {
  const VLCNotification n{QString::fromLatin1(timeChange ? VLCMediaPlayerTimeChanged : VLCMediaPlayerStateChanged),
                          this};
  // Any of these may drop the player; stop as soon as it is gone.
  QPointer<VLCMediaPlayer> self(this);
  if (timeChange) NotificationCenter::defaultCenter().post(n.name, this);
  if (!self) return;
  if (VLCMediaPlayerDelegate* d = delegate()) {
    if (timeChange)
      d->mediaPlayerTimeChanged(n);
    else
      d->mediaPlayerStateChanged(n);
  }
  if (!self) return;
  if (timeChange)
    emit timeChanged(time_);
  else
    emit stateChanged(int(state_));
}

void VLCMediaPlayer::setMedia(std::shared_ptr<VLCMedia> media) {
  media_ = std::move(media);
  time_ = playedTime_ = 0;
  jumpTarget_ = seekTarget_ = -1;
  length_ = 0;
  position_ = 0;
  if (!mp_) return;
  libvlc_media_t* m = media_ ? media_->handle() : nullptr;
  if (video_) video_->setMedia(m);
  libvlc_media_player_set_media(mp_, m);
}

void VLCMediaPlayer::setDelegate(VLCMediaPlayerDelegate* delegate) {
  delegate_ = delegate;
  delegateAlive_ = delegate ? std::weak_ptr<int>(delegate->alive_) : std::weak_ptr<int>();
}

VLCMediaPlayerDelegate* VLCMediaPlayer::delegate() const { return delegateAlive_.expired() ? nullptr : delegate_; }

std::shared_ptr<VLCFrameSink> VLCMediaPlayer::frameSink() const { return video_ ? video_->sink() : nullptr; }

void VLCMediaPlayer::play() {
  if (!mp_ || !media_) return;
  // After the end or an error libvlc keeps its finished input and would ignore play; start anew.
  if (finished_) libvlc_media_player_stop(mp_);
  finished_ = false;
  libvlc_media_player_play(mp_);
}

void VLCMediaPlayer::pause() {
  if (mp_) libvlc_media_player_set_pause(mp_, 1);
}

void VLCMediaPlayer::stop() {
  if (mp_) libvlc_media_player_stop(mp_);
}

bool VLCMediaPlayer::isPlaying() const { return mp_ && libvlc_media_player_is_playing(mp_); }

void VLCMediaPlayer::setPosition(float position) {
  if (!mp_ || !std::isfinite(position)) return;
  position = std::clamp(position, 0.0f, 1.0f);
  libvlc_media_player_set_position(mp_, position);
  position_ = position;
  // The place to start from: where the title was left before, reached whether or not more of it plays.
  jumpTarget_ = -1;
  if (length_ > 0) {
    const qint64 from = time_;
    time_ = playedTime_ = qint64(double(position) * double(length_));
    awaitSeek(from, time_);
  }
}

VLCTime VLCMediaPlayer::remainingTime() const {
  if (length_ <= 0) return VLCTime(0);
  return VLCTime(std::min<qint64>(0, time_ - length_));
}

void VLCMediaPlayer::setTime(qint64 ms) {
  if (!mp_) return;
  ms = std::max<qint64>(0, ms);
  if (length_ > 0) ms = std::min(ms, length_);
  libvlc_media_player_set_time(mp_, ms);
  awaitSeek(time_, ms);
  time_ = jumpTarget_ = ms;
  if (length_ > 0) position_ = float(double(ms) / double(length_));
}

void VLCMediaPlayer::jump(qint64 ms) {
  if (!mp_ || !libvlc_media_player_is_seekable(mp_)) return;
  setTime(time_ + ms);
}

void VLCMediaPlayer::shortJumpForward() { jump(kShortJumpMs); }
void VLCMediaPlayer::shortJumpBackward() { jump(-kShortJumpMs); }
void VLCMediaPlayer::mediumJumpForward() { jump(kMediumJumpMs); }
void VLCMediaPlayer::mediumJumpBackward() { jump(-kMediumJumpMs); }
void VLCMediaPlayer::longJumpForward() { jump(kLongJumpMs); }
void VLCMediaPlayer::longJumpBackward() { jump(-kLongJumpMs); }

QList<int> VLCMediaPlayer::audioTrackIndexes() const {
  return mp_ ? readTracks(libvlc_audio_get_track_description(mp_)).ids : QList<int>{};
}

QStringList VLCMediaPlayer::audioTrackNames() const {
  return mp_ ? readTracks(libvlc_audio_get_track_description(mp_)).names : QStringList{};
}

void VLCMediaPlayer::setCurrentAudioTrackIndex(int index) {
  if (mp_) libvlc_audio_set_track(mp_, index);
}

int VLCMediaPlayer::currentAudioTrackIndex() const { return mp_ ? libvlc_audio_get_track(mp_) : -1; }

QList<int> VLCMediaPlayer::videoSubTitlesIndexes() const {
  return mp_ ? readTracks(libvlc_video_get_spu_description(mp_)).ids : QList<int>{};
}

QStringList VLCMediaPlayer::videoSubTitlesNames() const {
  return mp_ ? readTracks(libvlc_video_get_spu_description(mp_)).names : QStringList{};
}

void VLCMediaPlayer::setCurrentVideoSubTitleIndex(int index) {
  if (mp_) libvlc_video_set_spu(mp_, index);
}

int VLCMediaPlayer::currentVideoSubTitleIndex() const { return mp_ ? libvlc_video_get_spu(mp_) : -1; }

void VLCMediaPlayer::setCurrentVideoSubTitleDelay(qint64 microseconds) {
  if (mp_) libvlc_video_set_spu_delay(mp_, microseconds);
}

qint64 VLCMediaPlayer::currentVideoSubTitleDelay() const { return mp_ ? libvlc_video_get_spu_delay(mp_) : 0; }

bool VLCMediaPlayer::openVideoSubTitlesFromFile(const QString& path) {
  if (!mp_ || path.isEmpty()) return false;
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) return false;
  file.close();
  libvlc_media_t* current = libvlc_media_player_get_media(mp_);  // thread-safe, unlike media_
  if (!current) return false;
  libvlc_media_release(current);
  const QByteArray uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded();
  return libvlc_media_player_add_slave(mp_, libvlc_media_slave_type_subtitle, uri.constData(), true) == 0;
}

}  // namespace ox
