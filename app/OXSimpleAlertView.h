#pragma once
#include <QStringList>
#include <memory>

#include "app/OXSetupLayers.h"
#include "platform/ui/View.h"
#include "playback/OXRemoteProtocol.h"

// The content of a text alert: a few centred lines of large white text over a dark veil, such as the message after
// a file could not be played. It offers no choice: every command, from the remote or a mapped key, fades its window
// out and closes it. Line i is the text layer named "i". Main thread only.
class OXSimpleAlertView : public ox::View, public OXRemoteProtocol, public OXSetupLayers {
 public:
  // The view at the chosen screen's frame, keeping the lines, top to bottom. No layers yet.
  static std::shared_ptr<OXSimpleAlertView> initWithText(const QStringList& textArray);

  bool acceptsFirstResponder() const override { return true; }
  bool acceptsFirstMouse() const { return true; }

  // The lines stand 0.09 x H apart, the block centred on the view.
  void setupLayers() override;

  // Fades the window out and closes it 0.3 s later.
  void keyMenu() override;
  void moveLeft() override { keyMenu(); }
  void moveRight() override { keyMenu(); }
  void moveUp() override { keyMenu(); }
  void moveDown() override { keyMenu(); }
  void keyPlay() override { keyMenu(); }
  void holdLeft() override { keyMenu(); }
  void holdRight() override { keyMenu(); }
  void releaseButton() override { keyMenu(); }
  void holdMenu() override { keyMenu(); }
  void holdPlay() override { keyMenu(); }
  void keyDown(const ox::KeyEvent& event) override;

  QStringList textArray() const { return textArray_; }

  static constexpr double kFontSize = 0.065;
  static constexpr double kPitch = 0.09;

 protected:
  OXSimpleAlertView(const QRectF& frame, const QStringList& textArray);

 private:
  QStringList textArray_;
};
