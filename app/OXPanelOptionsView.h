#pragma once
#include <QString>

#include "app/OXPanelResumeView.h"

// A two-choice question built like the resume panel, with a title and two answers given by its creator, shown in a
// PanelResume window. Play closes the window at once and then posts closePanelResumeNotification with the chosen
// index (0 or 1); Menu closes it at once and posts -1. Main thread only.
class OXPanelOptionsView : public OXPanelResumeView {
 public:
  // At the chosen screen's frame.
  OXPanelOptionsView(const QString& title, const QString& optionA, const QString& optionB);

  void setupLayers() override;
  void keyPlay() override;
  void keyMenu() override;

  QString title() const { return title_; }
  QString optionA() const { return optionA_; }
  QString optionB() const { return optionB_; }
  std::shared_ptr<ox::TextLayer> titleText() const { return titleText_; }
  std::shared_ptr<ox::TextLayer> installText() const { return firstRow_; }
  std::shared_ptr<ox::TextLayer> laterText() const { return secondRow_; }

  static constexpr double kFontSize = 0.07;
  static constexpr double kDimmedScale = 0.74;
  static constexpr double kTitleScale = 0.5476;

 protected:
  double dimmedScale() const override { return kDimmedScale; }

 private:
  QString title_, optionA_, optionB_;
  std::shared_ptr<ox::TextLayer> titleText_;
};
