#pragma once
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "platform/media/VLCFrameSink.h"
#include "platform/media/VLCMedia.h"

struct libvlc_media_player_t;
struct libvlc_event_t;

namespace ox {

class VLCMediaPlayer;
class VLCVideoOutput;
class VLCVideoView;

// Player states, numbered as playback reads them.
enum VLCMediaPlayerState : int {
  VLCMediaPlayerStateStopped = 0,
  VLCMediaPlayerStateOpening = 1,
  VLCMediaPlayerStateBuffering = 2,
  VLCMediaPlayerStateEnded = 3,
  VLCMediaPlayerStateError = 4,
  VLCMediaPlayerStatePlaying = 5,
  VLCMediaPlayerStatePaused = 6,
};

// Names of the notifications a player sends; time changes also go to the default notification centre, with the player
// as their object.
inline constexpr const char* VLCMediaPlayerStateChanged = "VLCMediaPlayerStateChanged";
inline constexpr const char* VLCMediaPlayerTimeChanged = "VLCMediaPlayerTimeChanged";

// A playback time; intValue() is whole milliseconds (negative for a remaining time).
class VLCTime {
 public:
  explicit VLCTime(qint64 ms = 0) : ms_(ms) {}
  int intValue() const { return int(ms_); }
  qint64 value() const { return ms_; }

 private:
  qint64 ms_;
};

// What a delegate callback carries: its name and the player it is about.
struct VLCNotification {
  QString name;
  VLCMediaPlayer* object = nullptr;
};

// Receives a player's time and state changes on the main thread. The player holds its delegate weakly: a delegate
// that is destroyed is simply no longer called.
class VLCMediaPlayerDelegate {
 public:
  VLCMediaPlayerDelegate() = default;
  // A copy is another delegate, with a life of its own.
  VLCMediaPlayerDelegate(const VLCMediaPlayerDelegate&) {}
  VLCMediaPlayerDelegate& operator=(const VLCMediaPlayerDelegate&) { return *this; }
  virtual ~VLCMediaPlayerDelegate() = default;
  virtual void mediaPlayerTimeChanged(const VLCNotification& notification) = 0;
  virtual void mediaPlayerStateChanged(const VLCNotification& notification) = 0;

 private:
  friend class VLCMediaPlayer;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// A player's sound: volume 0..200 (100 is unchanged), mute. The values are the player's own, applied to libvlc
// whenever an audio output exists, so they hold across tracks and outputs that do not report volume.
class VLCAudio {
 public:
  int volume() const { return volume_; }
  void setVolume(int volume);
  bool isMuted() const { return muted_; }
  void setMute(bool muted);

 private:
  friend class VLCMediaPlayer;
  VLCAudio() = default;
  void apply();
  libvlc_media_player_t* mp_ = nullptr;
  int volume_ = 100;
  bool muted_ = false;
};

// Plays one media. Every libvlc event is carried to the main thread and turned into the states above, the cached
// times and the delegate callbacks; events that arrive after the player is gone are dropped. Use from the main thread,
// except openVideoSubTitlesFromFile, which any thread may call.
class VLCMediaPlayer : public QObject {
  Q_OBJECT
 public:
  // Pictures go to sink through libvlc's video callbacks; without a sink video is decoded and dropped.
  explicit VLCMediaPlayer(std::shared_ptr<VLCFrameSink> sink = {});
  // A player whose pictures the view shows; the view may go first (pictures are then dropped).
  static std::shared_ptr<VLCMediaPlayer> initWithVideoView(const std::shared_ptr<VLCVideoView>& videoView);
  ~VLCMediaPlayer() override;

  void setMedia(std::shared_ptr<VLCMedia> media);
  std::shared_ptr<VLCMedia> media() const { return media_; }
  void setDelegate(VLCMediaPlayerDelegate* delegate);
  VLCMediaPlayerDelegate* delegate() const;
  std::shared_ptr<VLCFrameSink> frameSink() const;

  void play();
  void pause();
  // Synchronous: playback has stopped when it returns; the stopped state follows on the main loop.
  void stop();
  bool isPlaying() const;
  VLCMediaPlayerState state() const { return state_; }

  // Place in the title as a fraction 0..1 of its duration. A position set is where playback starts from (a resume
  // point) and counts as reached; a time set (and a jump) counts once playback has gone past it.
  float position() const { return position_; }
  void setPosition(float position);
  VLCTime time() const { return VLCTime(time_); }
  // Time left, negative; 0 while the duration is unknown.
  VLCTime remainingTime() const;
  // Duration in milliseconds, 0 until known.
  qint64 length() const { return length_; }
  // Moves to a time in milliseconds, kept inside the title.
  void setTime(qint64 ms);

  // 10 s, 1 min and 5 min jumps.
  void shortJumpForward();
  void shortJumpBackward();
  void mediumJumpForward();
  void mediumJumpBackward();
  void longJumpForward();
  void longJumpBackward();

  VLCAudio* audio() { return &audio_; }

  // Track lists, parallel: the first entry is libvlc's "off" entry (index -1) when the media has any track.
  QList<int> audioTrackIndexes() const;
  QStringList audioTrackNames() const;
  void setCurrentAudioTrackIndex(int index);
  int currentAudioTrackIndex() const;
  QList<int> videoSubTitlesIndexes() const;
  QStringList videoSubTitlesNames() const;
  // -1 switches subtitles off.
  void setCurrentVideoSubTitleIndex(int index);
  int currentVideoSubTitleIndex() const;
  // Microseconds; positive shows subtitles later.
  void setCurrentVideoSubTitleDelay(qint64 microseconds);
  qint64 currentVideoSubTitleDelay() const;
  // Adds the subtitle file at path to the media and selects it; libvlc reads it in the background. false when there is
  // no media, the file cannot be read, or libvlc refuses it.
  bool openVideoSubTitlesFromFile(const QString& path);

 signals:
  // Main thread, after the delegate: the same changes for plain Qt listeners.
  void stateChanged(int state);
  void timeChanged(qint64 ms);
  // Main thread: libvlc's input cache filling, 0..100.
  void bufferingChanged(float percent);

 private:
  struct Event;
  struct Token {
    VLCMediaPlayer* player;
  };
  static void onEvent(const libvlc_event_t* event, void* opaque);
  void notify(bool timeChange);
  void handle(const Event& event);
  void awaitSeek(qint64 fromMs, qint64 targetMs);
  bool settlesSeek(qint64 reportedMs) const;
  void updateState();
  void jump(qint64 ms);
  // Stops and releases the libvlc player; the object stays, silent. At libvlc's release and in the destructor.
  void letGoOfLibvlc();

  libvlc_media_player_t* mp_ = nullptr;
  int holder_ = 0;
  std::unique_ptr<VLCVideoOutput> video_;
  std::shared_ptr<Token> token_;
  std::weak_ptr<Token>* eventContext_ = nullptr;
  std::shared_ptr<VLCMedia> media_;
  VLCMediaPlayerDelegate* delegate_ = nullptr;
  std::weak_ptr<int> delegateAlive_;
  VLCAudio audio_;
  VLCMediaPlayerState state_ = VLCMediaPlayerStateStopped;
  int vlcState_ = 0;        // last libvlc state event (libvlc_state_t numbering)
  bool finished_ = false;  // libvlc ended or failed since the last play
  float cache_ = -1;       // input cache fill of this opening, -1 before the first buffering report
  qint64 time_ = 0;
  qint64 playedTime_ = 0;  // the last time played: time_ may be a jump's target that never played
  qint64 jumpTarget_ = -1;  // the last jump's target until playback has gone past it
  qint64 seekTarget_ = -1;  // the last seek's target until libvlc reports from there
  qint64 seekFrom_ = 0;      // the time it was sent from
  QElapsedTimer seekClock_;  // since it was sent
  qint64 length_ = 0;
  float position_ = 0;
};

}  // namespace ox
