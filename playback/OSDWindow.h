#pragma once
#include <QString>
#include <memory>

#include "platform/media/VLCMediaPlayer.h"
#include "platform/ui/Window.h"
#include "playback/OXVideoOSD.h"

// The transparent display window above the video window, holding the on-screen display view of a playback.
class OSDWindow : public ox::Window {
 public:
  // Full screen on the chosen screen at the video window's level; its display view gets the player and the title,
  // builds its layers and answers the keys.
  static std::shared_ptr<OSDWindow> initWithTitle(const QString& title,
                                                  const std::shared_ptr<ox::VLCMediaPlayer>& superPlayer);

  bool canBecomeMainWindow() const override { return true; }
  bool canBecomeKeyWindow() const override { return true; }

  std::shared_ptr<OXVideoOSD> osd() const { return osd_; }
  void setOsd(const std::shared_ptr<OXVideoOSD>& osd) { osd_ = osd; }

 protected:
  OSDWindow();

 private:
  std::shared_ptr<OXVideoOSD> osd_;
};
