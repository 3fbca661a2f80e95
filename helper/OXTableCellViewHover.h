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

  // A row of the panel's lists at `size`: a poster at `posterFrame`, a bold title line at `titleY` and a grey detail
  // line at `detailY` from `textLeft` to the poster's margin off the right edge, and a separator under the text.
  // Tags 1, 2 and 3 reach the poster, the title and the detail.
  struct MediaRow {
    OXTableCellViewHover* cell;
    QLabel* poster;
    QLabel* title;
    QLabel* detail;
  };
  static MediaRow makeMediaRow(const QSize& size, const QRect& posterFrame, int textLeft, int titleY, int detailY);

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
