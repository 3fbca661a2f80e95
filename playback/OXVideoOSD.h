#pragma once
#include <QString>
#include <QVariantList>
#include <memory>

#include "platform/layers/TextLayer.h"
#include "platform/media/VLCMediaPlayer.h"
#include "platform/ui/View.h"

// Posted when a playback should end, with the fraction of the title reached: user info { "percentage": float 0..1 }.
inline constexpr const char* exitPlayerNotification = "exitPlayerNotification";

// The view of the display window. For now it shows the content title and ends the playback when the title ends;
// from the first time change on it is the player's delegate.
class OXVideoOSD : public ox::View, public ox::VLCMediaPlayerDelegate {
 public:
  explicit OXVideoOSD(const QRectF& frame = QRectF());
  ~OXVideoOSD() override;

  bool acceptsFirstResponder() const override { return true; }
  bool isOpaque() const { return false; }

  // Builds the layer tree; sent once by the display window after the player and the title are set.
  void setupLayers();

  void mediaPlayerTimeChanged(const ox::VLCNotification& notification) override;
  // The end of the title (libvlc's end, or a pause with less than 2 s left) mutes the player and posts
  // exitPlayerNotification with the reached fraction, once.
  void mediaPlayerStateChanged(const ox::VLCNotification& notification) override;
  // The downloaded-subtitle search results, handed over when the video starts; kept in `subtitles` until the
  // options panel builds its rolls from them.
  void createOptionsRoll(const QVariantList& subtitles);

  // t / (t - r) of the player's time t and remaining time r (ms); 0 without a player or a duration.
  float currentTimeAsPercentage() const;

  QVariantList subtitles() const { return subtitles_; }
  void setSubtitles(const QVariantList& subtitles) { subtitles_ = subtitles; }
  std::shared_ptr<ox::VLCMediaPlayer> vlcMediaPlayer() const { return vlcMediaPlayer_.lock(); }
  void setVlcMediaPlayer(const std::shared_ptr<ox::VLCMediaPlayer>& player) { vlcMediaPlayer_ = player; }
  QString contentTitle() const { return contentTitle_; }
  void setContentTitle(const QString& title) { contentTitle_ = title; }

  std::shared_ptr<ox::TextLayer> titleText() const { return titleText_; }

 private:
  void exitPlayback();

  std::shared_ptr<ox::TextLayer> titleText_;
  QVariantList subtitles_;
  std::weak_ptr<ox::VLCMediaPlayer> vlcMediaPlayer_;
  QString contentTitle_;
  bool ended_ = false;
};
