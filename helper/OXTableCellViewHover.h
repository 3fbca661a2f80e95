#pragma once
#include <QPointer>
#include <QWidget>

class QAbstractButton;
class QLabel;

// A list row whose button shows only while the pointer is over the row: it hides again when the pointer leaves and
// whenever the row moves under a still pointer (the list scrolling).
class OXTableCellViewHover : public QWidget {
 public:
  explicit OXTableCellViewHover(QWidget* parent = nullptr);

  QAbstractButton* button() const { return button_; }
  void setButton(QAbstractButton* button);

  // A text field of a list row at `frame`, reached by `tag`, drawn in `style`.
  static QLabel* addField(QWidget* row, const QRect& frame, int tag, const QString& style);
  // The text cut with an ellipsis to the field's width; the whole of it in the field's tool tip.
  static void setElidedText(QLabel* field, const QString& text);

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void showButton(bool show);

  QPointer<QAbstractButton> button_;
};
