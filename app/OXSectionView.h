#pragma once
#include <QRectF>
#include <memory>

#include "app/AppControllerDelegate.h"
#include "platform/ui/View.h"
#include "playback/OXRemoteProtocol.h"

// What the section switcher asks of every view it shows: made with the screen's frame, built by setupLayers before
// it is shown, told its delegate after that, and the first responder of the main window while it is shown, so the
// keyboard and the remote commands reach it.
class OXSectionView : public ox::View, public OXRemoteProtocol {
 public:
  explicit OXSectionView(const QRectF& frame) : ox::View(frame) {}

  // Builds the view's layers and starts its work.
  virtual void setupLayers() = 0;

  // Held weakly; empty once the view has been replaced, so work that outlives it switches nothing.
  std::shared_ptr<AppControllerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::weak_ptr<AppControllerDelegate>& delegate) { delegate_ = delegate; }

  bool acceptsFirstResponder() const override { return true; }
  // The keyboard table of every full-screen view; a view that departs from it overrides this.
  void keyDown(const ox::KeyEvent& event) override { OXSendRemoteCommand(*this, OXRemoteCommandForKey(event)); }

 private:
  std::weak_ptr<AppControllerDelegate> delegate_;
};
