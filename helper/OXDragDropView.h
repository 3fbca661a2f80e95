#pragma once
#include <QPointF>
#include <QWidget>

class OXDragDropViewDelegate;

// The drop zone of the sources page: it holds both folder tables, the movie table left of x = 256 points of the
// window and the show table right of it. Folders dropped left of that line become movie folders, right of it TV-show
// folders; a drag that holds anything but folders is refused as a whole. Main thread only.
class OXDragDropView : public QWidget {
 public:
  // A drop whose last reported position lies right of this x (window coordinates) adds TV-show folders.
  static constexpr double kShowSideX = 256.0;

  explicit OXDragDropView(QWidget* parent = nullptr);

  bool isDragZone() const { return dragZone_; }
  void setDragZone(bool dragZone);
  // Sets the drag state and redraws.
  void setHighlighted(bool highlighted);
  // The drag's last position in the window's coordinates; zero while no drag runs.
  QPointF draggedImageLocation() const { return location_; }
  // Held weakly: the owner outlives the view.
  OXDragDropViewDelegate* delegate() const { return delegate_; }
  void setDelegate(OXDragDropViewDelegate* delegate) { delegate_ = delegate; }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool dragZone_ = false;
  QPointF location_;
  OXDragDropViewDelegate* delegate_ = nullptr;
};
