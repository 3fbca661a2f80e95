#pragma once
#include <QImage>
#include <QRectF>
#include <functional>
#include <memory>

#include "platform/ui/StatusItem.h"

// The status item's face: the icon centred over the status bar's background, highlighted or not, drawn into the
// item each time it changes. A press sends the action. Main thread only.
class StatusItemView {
 public:
  explicit StatusItemView(std::unique_ptr<ox::StatusItem> statusItem);  // initWithStatusItem:
  StatusItemView(const StatusItemView&) = delete;
  StatusItemView& operator=(const StatusItemView&) = delete;

  ox::StatusItem* statusItem() const { return statusItem_.get(); }
  QImage image() const { return image_; }
  QImage alternateImage() const { return alternateImage_; }
  bool isHighlighted() const { return isHighlighted_; }

  // Each redraws only when the value changes; the alternate image only while it shows (highlighted).
  void setHighlighted(bool highlighted);
  void setImage(const QImage& image);
  void setAlternateImage(const QImage& image);

  // No target: the press goes to whoever set the action (the application's delegate).
  void setAction(std::function<void()> action) { action_ = std::move(action); }
  void mouseDown();

  // The item's rectangle on the screen (origin top left), empty when the desktop does not say where it is.
  QRectF globalRect() const;
  // The item as drawn now: `length` x thickness points at twice the pixels.
  QImage drawRect() const;

 private:
  void redraw();

  QImage image_;
  QImage alternateImage_;
  std::unique_ptr<ox::StatusItem> statusItem_;
  bool isHighlighted_ = false;
  std::function<void()> action_;
};
