#include "playback/OXVideoPlayer.h"

#include <QUrl>

#include "core/OXPreferencesValues.h"

using namespace ox;

QRectF OXVideoPlayer::screenContentRect() {
  QScreen* screen = OXPreferencesValues::sharePreferences()->mainScreen();
  return screen ? screenFrame(screen) : QRectF();
}

OXVideoPlayer::OXVideoPlayer() : Window(screenContentRect()) {
  setLevel(kLevel);
  setOpaque(false);
  setBackgroundColor(Qt::black);
}

std::shared_ptr<OXVideoPlayer> OXVideoPlayer::withMedia(std::shared_ptr<VLCMedia> media) {
  if (!media) return nullptr;
  std::shared_ptr<OXVideoPlayer> w(new OXVideoPlayer);
  w->setContentView(std::make_shared<View>());
  w->videoView_ = VLCVideoView::initWithFrame(OXPreferencesValues::sharePreferences()->mainScreenFrame());
  w->contentView()->addSubview(w->videoView_);
  w->player_ = VLCMediaPlayer::initWithVideoView(w->videoView_);
  w->media_ = std::move(media);
  // Nothing plays until the owner says so.
  w->player_->setMedia(w->media_);
  return w;
}

std::shared_ptr<OXVideoPlayer> OXVideoPlayer::initWithSource(const QVariant& source) {
  std::shared_ptr<VLCMedia> media;
  if (source.metaType() == QMetaType::fromType<QUrl>())
    media = VLCMedia::mediaWithURL(source.toUrl());
  else if (source.metaType() == QMetaType::fromType<QString>())
    media = VLCMedia::mediaWithPath(source.toString());
  if (!media) return nullptr;
  for (const char* option : {"spdif", "force-dolby-surround=0", "sepia-intensity=255"})
    media->addOptions({{QString::fromLatin1(option), QVariant()}});
  return withMedia(std::move(media));
}

std::shared_ptr<OXVideoPlayer> OXVideoPlayer::initWithLocalStreaming(const QString& url) {
  std::shared_ptr<VLCMedia> media = VLCMedia::mediaWithURL(QUrl(url));
  if (!media) return nullptr;
  media->addOptions({{QStringLiteral("--freetype-rel-fontsize"), QStringLiteral("72")}});
  return withMedia(std::move(media));
}
