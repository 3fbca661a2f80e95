#pragma once
#include <QHash>
#include <QSet>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <memory>

#include "platform/layers/Layer.h"
#include "platform/layers/TextLayer.h"
#include "platform/media/VLCMediaPlayer.h"
#include "platform/ui/View.h"
#include "playback/OXRemoteProtocol.h"

class QTimer;

// Posted when a playback should end, with the fraction of the title reached: user info { "percentage": float 0..1 }.
inline constexpr const char* exitPlayerNotification = "exitPlayerNotification";

// The view of the display window of a playback: play/pause glyph, elapsed and remaining time, progress track and
// title (shown for 4 s after each seek or play), a volume bezel, and the options panel with the audio, subtitle and
// subtitle-delay rolls. It answers the keys and the remote's commands, drives the player, and ends the playback by
// posting exitPlayerNotification once, when the user leaves or the title ends. From the first time change on it is
// the player's delegate. Main thread only.
//
// The trailer player's display derives from it and replaces the operations marked virtual.
class OXVideoOSD : public ox::View, public ox::VLCMediaPlayerDelegate, public OXRemoteProtocol {
 public:
  explicit OXVideoOSD(const QRectF& frame = QRectF());
  ~OXVideoOSD() override;

  bool acceptsFirstResponder() const override { return true; }
  bool acceptsFirstMouse() const { return true; }
  bool isOpaque() const { return false; }

  // Builds the layer tree for the chosen screen; sent once by the display window after the player and the title.
  virtual void setupLayers();

  // --- the controls
  // Shows them and hides them again 4 s later (a pending hide is dropped).
  void showProgressBar();
  void controlDissapear();
  // Progress width and the two times, at every time change of the player.
  void mediaPlayerTimeChanged(const ox::VLCNotification& notification) override;
  // libvlc's end of the title, or a pause with less than 2 s left of a known length, ends the playback as Menu does.
  void mediaPlayerStateChanged(const ox::VLCNotification& notification) override;

  // --- keys and the remote
  // Arrows move, Return and Space play, Escape and Delete go back, "m" and "o" hold Menu, "p" holds Play.
  void keyDown(const ox::KeyEvent& event) override;
  void moveRight() override;
  void moveLeft() override;
  void moveUp() override;
  void moveDown() override;
  void keyPlay() override;
  void keyMenu() override;
  // What Menu does to end the playback: mutes and posts exitPlayerNotification with the reached fraction, once per
  // playback.
  void exitPlayback();
  void holdMenu() override;
  void holdPlay() override;
  // Repeats moveLeft / moveRight every 0.05 s until releaseButton.
  void holdLeft() override;
  void holdRight() override;
  void releaseButton() override;

  virtual void playPlayer();
  virtual void pausePlayer();
  // Up and down: 5 min, 1 min or 10 s, the longest that the time left (or gone) allows.
  virtual void longJumpForward();
  virtual void longJumpBackward();

  // --- the volume bezel (nothing sends these yet)
  void updateVolumeBezel();
  void setMute();
  void volumeDissapear();

  // --- times, from the player's time t and remaining time r (ms, r negative); 0 without a player
  virtual QString durationAsString() const;
  virtual QString durationToEndAsString() const;
  virtual QString currentTimeAsString() const;
  // t / (t - r), kept within 0..1; 0 while the duration is unknown.
  virtual float currentTimeAsPercentage() const;
  // Seconds left.
  virtual float remainingTime() const;
  virtual qint64 durationInSeconds() const;
  // "%02d:%02d:%02d" of whole seconds.
  static QString timeText(qint64 seconds);

  // Registers the program's font resource "<name>.ttf"; answers true when it is missing or not a font.
  static bool loadLocalFonts(const QString& name);

  // --- the options panel (OXVideoOSDOptions.cpp)
  // Fills the rolls from the player's tracks and the downloaded-subtitle search results; sent once, at the first
  // time change, by the player controller.
  void createOptionsRoll(const QVariantList& subtitles);
  // A roll row: a holder the size of a third of the screen with the centred text under "__holderLayer".
  ox::LayerPtr layerForTrack(const QString& text);
  void showOptions();
  void hideOptions();
  // Down and up within the focused column.
  void incrementOne();
  void decrementOne();
  void showSubtitleDelayRoll();
  void hideSubtitleDelayRoll();
  QVariantMap currentAudioSelected() const;
  QVariantMap currentSubtitleSelected() const;
  void newAudioTrackSelected();
  // Applies the selected subtitle: off, a track of the media, or a downloaded language (fetched once, then loaded).
  void newSubtitleTrackSelected();

  // --- state
  quint64 columnOption() const { return columnOption_; }
  bool optionsPanel() const { return optionsPanel_; }
  QVariantList subtitles() const { return subtitles_; }
  void setSubtitles(const QVariantList& subtitles) { subtitles_ = subtitles; }
  std::shared_ptr<ox::VLCMediaPlayer> vlcMediaPlayer() const { return vlcMediaPlayer_.lock(); }
  void setVlcMediaPlayer(const std::shared_ptr<ox::VLCMediaPlayer>& player) { vlcMediaPlayer_ = player; }
  QString contentTitle() const { return contentTitle_; }
  void setContentTitle(const QString& title) { contentTitle_ = title; }
  QVariantList audioTracks() const { return audioTracks_; }
  QVariantList subtitlesTracks() const { return subtitlesTracks_; }
  // Languages whose archive is being fetched.
  QSet<QString> downloadsInFlight() const { return downloads_; }

  std::shared_ptr<ox::TextLayer> glyphsPlayPause() const { return glyphsPlayPause_; }
  ox::LayerPtr barLayer() const { return barLayer_; }
  std::shared_ptr<ox::TextLayer> timeStart() const { return timeStart_; }
  std::shared_ptr<ox::TextLayer> timeEnd() const { return timeEnd_; }
  std::shared_ptr<ox::TextLayer> titleText() const { return titleText_; }
  ox::LayerPtr barBackLayer() const { return barBackLayer_; }
  ox::LayerPtr barProgressLayer() const { return barProgressLayer_; }
  ox::LayerPtr volumeLayer() const { return volumeLayer_; }
  ox::LayerPtr volumeBar() const { return volumeBar_; }
  std::shared_ptr<ox::TextLayer> audioTitle() const { return audioTitle_; }
  std::shared_ptr<ox::TextLayer> subtitleTitle() const { return subtitleTitle_; }
  std::shared_ptr<ox::TextLayer> subtitleDelayTitle() const { return subtitleDelayTitle_; }
  ox::LayerPtr audioLayerContents() const { return audioLayerContents_; }
  ox::LayerPtr subtitleLayerContents() const { return subtitleLayerContents_; }
  ox::LayerPtr subtitleDelayLayerContents() const { return subtitleDelayLayerContents_; }

 protected:
  // The progress track's full width: round(W - round(0.08 H) - 72), narrowed where the play/pause glyph is wider
  // than that allows, so that the track ends 34 from the right edge as the remaining time does. 0 before setupLayers.
  double trackWidth() const { return trackWidth_; }
  void cancelControlDissapear();
  void scheduleControlDissapear();

  std::shared_ptr<ox::TextLayer> glyphsPlayPause_;
  ox::LayerPtr barLayer_;
  std::shared_ptr<ox::TextLayer> timeStart_;
  std::shared_ptr<ox::TextLayer> timeEnd_;
  std::shared_ptr<ox::TextLayer> titleText_;
  ox::LayerPtr barBackLayer_;
  ox::LayerPtr barProgressLayer_;
  ox::LayerPtr volumeLayer_;
  ox::LayerPtr volumeBackgroundBezel_;
  std::shared_ptr<ox::TextLayer> volumeGlyph_;
  ox::LayerPtr volumeBarBackground_, volumeBarBorder_, volumeBar_, volumeBarRightEdge_;
  std::shared_ptr<ox::TextLayer> audioTitle_, subtitleTitle_, subtitleDelayTitle_;
  ox::LayerPtr audioLayerContents_, subtitleLayerContents_, subtitleDelayLayerContents_;

 private:
  void setupControls();
  void setupVolume();
  void setupOptionsPanel();
  void moveColumn(int step);
  void moveRow(int step);
  void placeColumns(bool delayShown);
  bool subtitleSelected() const;
  void applyColumnFocus();
  void startDownload(const QVariantMap& entry, const QString& name, const QString& zipPath, const QString& folder);
  void loadDownloadedSubtitle(const QString& language, const QString& srt);
  void setVolumeBarWidth(double width);
  // The held button's move, every 0.05 s; replaces an earlier repeat.
  void repeatWhileHeld(void (OXVideoOSD::*move)());

  quint64 columnOption_ = 0;
  std::unique_ptr<QTimer> volumeTimer_;
  std::unique_ptr<QTimer> remoteControlRepeatTimer_;
  std::unique_ptr<QTimer> hideTimer_;
  std::unique_ptr<QTimer> subtitleTimer_;
  QVariantList audioTracks_;
  QVariantList subtitlesTracks_;
  bool optionsPanel_ = false;
  QVariantList subtitles_;
  std::weak_ptr<ox::VLCMediaPlayer> vlcMediaPlayer_;
  QString contentTitle_;
  double trackWidth_ = 0;
  bool exitPosted_ = false;
  QSet<QString> downloads_;
  // Per language downloaded during this playback: the .srt its download found (empty when it had none).
  QHash<QString, QString> subtitleFiles_;
};
