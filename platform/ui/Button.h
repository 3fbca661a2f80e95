#pragma once
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

namespace ox {

// A push button's model: a title, a tag and an action sent to a target. The target is held weakly, as controls hold
// theirs: a button never keeps its target alive, and an action whose target has gone is not sent.
class Button {
 public:
  Button() = default;
  Button(const QString& title, qint64 tag) : title_(title), tag_(tag) {}

  QString title() const { return title_; }
  void setTitle(const QString& title) { title_ = title; }
  qint64 tag() const { return tag_; }
  void setTag(qint64 tag) { tag_ = tag; }

  // The action receives the button as its sender.
  template <class T>
  void setTarget(const std::shared_ptr<T>& target, void (T::*action)(const Button& sender)) {
    target_ = target;
    action_ = [action](void* t, const Button& sender) { (static_cast<T*>(t)->*action)(sender); };
  }
  // An action that ignores its sender.
  template <class T>
  void setTarget(const std::shared_ptr<T>& target, void (T::*action)()) {
    target_ = target;
    action_ = [action](void* t, const Button&) { (static_cast<T*>(t)->*action)(); };
  }
  void clearTarget();
  bool hasTarget() const { return bool(action_) && !target_.expired(); }

  // Sends the action to the target; false when there is none (any more).
  bool sendAction() const;

 private:
  QString title_;
  qint64 tag_ = 0;
  std::weak_ptr<void> target_;
  std::function<void(void*, const Button&)> action_;
};

using ButtonPtr = std::shared_ptr<Button>;

}  // namespace ox
