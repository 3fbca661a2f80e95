#pragma once
#include <QAbstractButton>
#include <QColor>
#include <QImage>

namespace ox {

// A push button drawn as a picture with its title over it: the picture fills the button, the title stands centred
// (wrapped at words) in the button's font and title colour. Pressed, the picture pales.
class ImageButton : public QAbstractButton {
 public:
  explicit ImageButton(QWidget* parent = nullptr);

  QImage backgroundImage() const { return background_; }
  void setBackgroundImage(const QImage& image);
  QColor titleColor() const { return titleColor_; }
  void setTitleColor(const QColor& colour);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage background_;
  QColor titleColor_{70, 70, 74};
};

}  // namespace ox
