#include "playback/OSDWindow.h"

#include "core/OXPreferencesValues.h"
#include "playback/OXVideoPlayer.h"

using namespace ox;

OSDWindow::OSDWindow() : Window(OXVideoPlayer::screenContentRect()) {
  setLevel(OXVideoPlayer::kLevel);
  setAlphaValue(1.0);
  setBackgroundColor(Qt::transparent);
  setOpaque(false);
}

std::shared_ptr<OSDWindow> OSDWindow::initWithTitle(const QString& title,
                                                    const std::shared_ptr<VLCMediaPlayer>& superPlayer) {
  std::shared_ptr<OSDWindow> w(new OSDWindow);
  w->setContentView(std::make_shared<View>());
  auto osd = std::make_shared<OXVideoOSD>(OXPreferencesValues::sharePreferences()->mainScreenFrame());
  osd->setVlcMediaPlayer(superPlayer);
  osd->setContentTitle(title);
  osd->setupLayers();
  w->contentView()->addSubview(osd);
  w->osd_ = osd;
  // Keys reach the display view as soon as the window is key.
  w->makeFirstResponder(osd);
  return w;
}
