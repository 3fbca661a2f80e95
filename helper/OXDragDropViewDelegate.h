#pragma once

// Told how a drag over the sources page goes, in this order of events: entered, then exited or a drop.
class OXDragDropViewDelegate {
 public:
  virtual ~OXDragDropViewDelegate() = default;
  virtual void draggingEntered() = 0;
  virtual void draggingExited() = 0;
  virtual void performDragOperation() = 0;
};
