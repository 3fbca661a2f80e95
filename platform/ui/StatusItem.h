#pragma once
#include <QImage>
#include <QRect>
#include <functional>
#include <memory>

namespace ox {

// One item in the desktop's status area. Its owner draws the whole item (background, highlight and icon) into one
// image; the item shows it and reports presses. Main thread only.
class StatusItem {
 public:
  using Factory = std::function<std::unique_ptr<StatusItem>(double length)>;

  // Height of the status bar where the desktop does not say, in points.
  static constexpr double kThickness = 22;

  // A new item `length` points wide: the desktop's tray item, or what setFactory installed.
  static std::unique_ptr<StatusItem> create(double length);
  // Tests put an item of their own in the tray's place; an empty factory brings the tray back.
  static void setFactory(Factory factory);

  virtual ~StatusItem() = default;
  StatusItem(const StatusItem&) = delete;
  StatusItem& operator=(const StatusItem&) = delete;

  double length() const { return length_; }
  double thickness() const { return kThickness; }
  virtual void setImage(const QImage& image) = 0;
  // Where the item is on the screen (origin at the top left); an empty rectangle when the desktop gives none.
  virtual QRect geometry() const = 0;
  // Runs on each press of the item.
  void setAction(std::function<void()> action) { action_ = std::move(action); }

 protected:
  explicit StatusItem(double length) : length_(length) {}
  void pressed() {
    if (action_) action_();
  }

 private:
  double length_;
  std::function<void()> action_;
};

}  // namespace ox
