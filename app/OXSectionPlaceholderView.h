#pragma once
#include <QString>

#include "app/OXSectionView.h"
#include "platform/layers/TextLayer.h"

// The section a browsing view will fill: its title over black. Menu goes back to Home with the section's return
// code; every other command is ignored.
class OXSectionPlaceholderView : public OXSectionView {
 public:
  OXSectionPlaceholderView(const QRectF& frame, const QString& title, qint32 returnCode);

  void setupLayers() override;

  void moveLeft() override {}
  void moveRight() override {}
  void moveUp() override {}
  void moveDown() override {}
  void keyPlay() override {}
  void keyMenu() override;

  QString title() const { return title_; }
  qint32 returnCode() const { return returnCode_; }

 private:
  QString title_;
  qint32 returnCode_;
  std::shared_ptr<ox::TextLayer> titleLayer_;
};
