#pragma once
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "app/OXSetupLayers.h"
#include "platform/layers/TextLayer.h"
#include "platform/ui/Button.h"
#include "platform/ui/View.h"
#include "playback/OXRemoteProtocol.h"

// The content of a list menu: a column of centred entries over a dark veil, an optional title above them, one entry
// highlighted. Up and Down move the highlight and stop at the ends; Play sends the highlighted entry's action and
// closes the window; Menu closes it without choosing. Main thread only.
//
// Each entry is a button that is never shown: its title is the entry's text, its tag the entry's position, and its
// target and action are set by the menu window. Row i is the text layer named "i" among the base layer's sublayers;
// the title row is named "titleText".
class OXFullScreenOptionsView : public ox::View, public OXRemoteProtocol, public OXSetupLayers {
 public:
  // The view at the chosen screen's frame; an empty title means a list without title. No layers yet.
  static std::shared_ptr<OXFullScreenOptionsView> initWithTitle(const QString& title, const QStringList& buttonsText);

  bool acceptsFirstResponder() const override { return true; }
  bool acceptsFirstMouse() const { return true; }

  // Builds the layer tree at the view's size and highlights the first selection.
  void setupLayers() override;
  // Highlights that entry in a 0.15 s transaction; an index past the entries is ignored.
  void selectItem(quint64 index);

  void moveUp() override;
  void moveDown() override;
  void keyPlay() override;
  void keyMenu() override;
  void moveLeft() override {}
  void moveRight() override {}
  void keyDown(const ox::KeyEvent& event) override;

  QString title() const { return title_; }
  bool hasTitle() const { return !title_.isEmpty(); }
  const std::vector<ox::ButtonPtr>& buttons() const { return buttons_; }
  void setButtons(const std::vector<ox::ButtonPtr>& buttons) { buttons_ = buttons; }
  // The entry highlighted by the next setupLayers; an index past the entries is ignored.
  quint64 firstSelected() const { return firstSelected_; }
  void setFirstSelected(quint64 index);
  // The highlighted entry.
  quint64 selectedIndex() const { return selectItem_; }

  std::shared_ptr<ox::TextLayer> titleText() const { return titleText_; }
  ox::LayerPtr buttonBase() const { return buttonBase_; }

  // Row geometry, as fractions of the view's height.
  static constexpr double kFontSize = 0.065;
  static constexpr double kPitch = 0.09;
  static constexpr double kDimmedScale = 0.77;
  static constexpr double kTitleScale = 0.5698;

 protected:
  OXFullScreenOptionsView(const QRectF& frame, const QString& title, const QStringList& buttonsText);

 private:
  QString title_;
  quint64 selectItem_ = 0;
  std::shared_ptr<ox::TextLayer> titleText_;
  ox::LayerPtr buttonBase_;
  std::vector<ox::ButtonPtr> buttons_;
  quint64 firstSelected_ = 0;
};
