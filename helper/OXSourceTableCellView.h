#pragma once
#include <QAbstractButton>
#include <QPointer>

#include "helper/OXDragDropView.h"
#include "helper/OXDragDropViewDelegate.h"
#include "helper/OXTableCellViewHover.h"

// A folder row of the sources page: its button shows while the pointer is over the row, as in the panel's list.
class OXSourceTableCellView : public OXTableCellViewHover, public OXDragDropViewDelegate {
 public:
  explicit OXSourceTableCellView(QWidget* parent = nullptr);

  OXDragDropView* dragDropView() const { return dragDropView_.data(); }
  void setDragDropView(OXDragDropView* view) { dragDropView_ = view; }

  // A row takes no part in a drop: it only notes the drag's progress.
  void draggingEntered() override;
  void draggingExited() override;
  void performDragOperation() override;

 private:
  QPointer<OXDragDropView> dragDropView_;
};
