#pragma once
#include <QColor>
#include <QWidget>

// A line: a view filled with one colour (the light grey of the lists' separators unless told otherwise).
class OXCustomLineView : public QWidget {
 public:
  static const QColor kDefaultColour;  // grey 0.84375

  explicit OXCustomLineView(QWidget* parent = nullptr);
  OXCustomLineView(const QRect& frame, const QColor& colour, QWidget* parent = nullptr);

  QColor lineColor() const { return lineColor_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor lineColor_;
};
