#pragma once
#include <QRectF>
#include <memory>

#include "app/OXSetupLayers.h"
#include "platform/layers/TextLayer.h"
#include "platform/ui/View.h"
#include "playback/OXRemoteProtocol.h"

// The resume question: "Resume" above "Play", centred over a dark veil, shown in a PanelResume window. Up and Down
// move between the two; Play posts closePanelResumeNotification with the chosen index (0 "Resume", 1 "Play") and
// closes the panel after a 0.3 s fade; Menu closes it without posting. Main thread only.
class OXPanelResumeView : public ox::View, public OXRemoteProtocol, public OXSetupLayers {
 public:
  // Usually at the chosen screen's frame (OXPreferencesValues::mainScreenFrame).
  explicit OXPanelResumeView(const QRectF& frame);

  bool acceptsFirstResponder() const override { return true; }
  bool acceptsFirstMouse() const { return true; }

  void setupLayers() override;
  // Any index but 0 highlights the second row; changed in a 0.15 s transaction.
  void selectItem(quint64 index);

  void moveUp() override;
  void moveDown() override;
  void keyPlay() override;
  void keyMenu() override;
  void moveLeft() override {}
  void moveRight() override {}
  void keyDown(const ox::KeyEvent& event) override;

  // The highlighted row: 0 or 1.
  quint64 selectedIndex() const { return selectItem_; }
  std::shared_ptr<ox::TextLayer> resumeText() const { return firstRow_; }
  std::shared_ptr<ox::TextLayer> playText() const { return secondRow_; }

  static constexpr double kFontSize = 0.065;
  static constexpr double kDimmedScale = 0.77;

 protected:
  // The scale of the row not chosen.
  virtual double dimmedScale() const { return kDimmedScale; }
  // Posts the answer on the default centre.
  static void postAnswer(qint64 index);

  quint64 selectItem_ = 0;
  std::shared_ptr<ox::TextLayer> firstRow_;
  std::shared_ptr<ox::TextLayer> secondRow_;
};
