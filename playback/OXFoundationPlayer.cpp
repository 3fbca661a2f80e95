#include "playback/OXFoundationPlayer.h"

#include "core/OXPreferencesValues.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Transaction.h"
#include "playback/OXVideoPlayer.h"

using namespace ox;

namespace {
const QString kBufferEmpty = QStringLiteral("playbackBufferEmpty");
const QString kLikelyToKeepUp = QStringLiteral("playbackLikelyToKeepUp");
}  // namespace

OXFoundationPlayer::OXFoundationPlayer() : Window(OXVideoPlayer::screenContentRect()) {
  setLevel(OXVideoPlayer::kLevel);
  setAlphaValue(1.0);
  setBackgroundColor(Qt::black);
  setOpaque(true);
}

std::shared_ptr<OXFoundationPlayer> OXFoundationPlayer::initWithURL(const QUrl& url, const QString& title) {
  if (url.isEmpty() || !url.isValid()) return nullptr;
  const QRectF screen = OXPreferencesValues::sharePreferences()->mainScreenFrame();
  std::shared_ptr<OXFoundationPlayer> w(new OXFoundationPlayer);

  Transaction::begin();
  Transaction::setDisableActions(true);
  LayerPtr content = Layer::layer();
  content->setLayoutManager(ConstraintLayoutManager::layoutManager());
  content->setBackgroundColor(Qt::black);
  content->setOpacity(1);
  auto view = std::make_shared<View>(QRectF(QPointF(0, 0), screen.size()));
  view->setLayer(content);
  w->setContentView(view);

  w->videoView_ = VLCVideoView::initWithFrame(QRectF(QPointF(0, 0), screen.size()));
  w->playerLayer_ = w->videoView_->layer();
  w->playerLayer_->setOpacity(1);
  w->playerLayer_->addConstraint(
      Constraint(ConstraintAttribute::MidX, QStringLiteral("superlayer"), ConstraintAttribute::MidX));
  w->playerLayer_->addConstraint(
      Constraint(ConstraintAttribute::MidY, QStringLiteral("superlayer"), ConstraintAttribute::MidY));
  view->addSubview(w->videoView_);
  Transaction::commit();

  w->player_ = AVPlayer::playerWithURL(url, w->videoView_->frameSink());
  if (!w->player_) return nullptr;

  w->osd_ = std::make_shared<OXFoundationOSDView>(QRectF(QPointF(0, 0), screen.size()));
  w->osd_->setContentTitle(title);
  w->osd_->setupLayers();
  w->osd_->setPlayer(w->player_);
  view->addSubview(w->osd_);
  w->makeFirstResponder(w->osd_);

  w->observations_ = std::make_unique<QObject>();
  std::weak_ptr<OXFoundationPlayer> weak = w;
  AVPlayer* player = w->player_.get();
  QObject::connect(player, &AVPlayer::playbackBufferEmptyChanged, w->observations_.get(), [weak](bool) {
    if (auto self = weak.lock()) self->observeValueForKeyPath(kBufferEmpty);
  });
  QObject::connect(player, &AVPlayer::playbackLikelyToKeepUpChanged, w->observations_.get(), [weak](bool) {
    if (auto self = weak.lock()) self->observeValueForKeyPath(kLikelyToKeepUp);
  });
  QObject::connect(player, &AVPlayer::failed, w->observations_.get(), [weak](const QString&) {
    if (auto self = weak.lock()) self->mediaFailed();
  });
  w->player_->play();
  return w;
}

OXFoundationPlayer::~OXFoundationPlayer() {
  observations_.reset();
  if (player_) player_->pause();
  if (playerLayer_) playerLayer_->removeFromSuperlayer();
  delegatePlayer_.reset();
  player_.reset();
}

void OXFoundationPlayer::close() {
  // A buffer report after this would bring the window back to the front and play the trailer on.
  closed_ = true;
  if (player_) player_->pause();
  Window::close();
}

void OXFoundationPlayer::observeValueForKeyPath(const QString& keyPath) {
  if (!player_ || ended_ || closed_) return;
  std::shared_ptr<Window> keep = shared_from_this();
  if (!shown_) {
    // The first report only brings the trailer to the screen.
    shown_ = true;
    makeKeyAndOrderFront();
    makeMainWindow();
    if (auto delegate = delegatePlayer_) {
      delegatePlayer_.reset();
      delegate->videoDidLoaded();
    }
    return;
  }
  if (keyPath == kBufferEmpty && player_->isPlaybackBufferEmpty()) {
    log(QStringLiteral("playbackBufferEmpty"));
    osd_->showBufferingMessage();
  } else if (keyPath == kLikelyToKeepUp && player_->isPlaybackLikelyToKeepUp()) {
    log(QStringLiteral("playbackLikelyToKeepUp"));
    if (!osd_->isPause()) player_->play();
    osd_->hideBufferingMessage();
  }
}

void OXFoundationPlayer::mediaFailed() {
  if (ended_ || !player_) return;
  ended_ = true;
  log(QStringLiteral("OXFoundationPlayer: %1").arg(player_->error()));
  // The owner may let the window go when told; it stays until this is done.
  std::shared_ptr<Window> keep = shared_from_this();
  const void* item = player_->currentItem();
  osd_->hideBufferingMessage();
  close();
  NotificationCenter::defaultCenter().post(QString::fromLatin1(AVPlayerItemDidPlayToEndTimeNotification), item);
}
