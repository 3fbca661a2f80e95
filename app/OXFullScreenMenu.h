#pragma once
#include <QString>
#include <QStringList>
#include <memory>

#include "app/OXFullScreenOptionsView.h"
#include "app/OXSimpleAlertView.h"
#include "app/OXOverlayWindow.h"
#include "platform/ui/Button.h"

// The overlay window in which the browsing views ask something (an options list) or report an error (a text
// alert). It shows itself and fades in
// when created; the opener wires the entries, then calls open, which builds the content and fades it in. The content
// takes the keys and the remote while the window is key. Main thread only.
class OXFullScreenMenu : public OXOverlayWindow {
 public:
  static std::shared_ptr<OXFullScreenMenu> initAlertWithTexts(const QStringList& texts);
  // An empty title makes a list without title.
  static std::shared_ptr<OXFullScreenMenu> initWithTitle(const QString& title, const QStringList& buttonsText);

  // The entry's action, sent with the entry's button when it is chosen; the target is held weakly. Nothing for an
  // index past the entries, nor in an alert.
  template <class T>
  void addTarget(const std::shared_ptr<T>& target, void (T::*action)(const ox::Button& sender), quint64 index) {
    if (auto b = button(index)) b->setTarget(target, action);
  }
  template <class T>
  void addTarget(const std::shared_ptr<T>& target, void (T::*action)(), quint64 index) {
    if (auto b = button(index)) b->setTarget(target, action);
  }

  // Passed on to the list; an alert only keeps it.
  void setFirstSelected(quint64 index);
  quint64 firstSelected() const { return firstSelected_; }

  // Builds the content and fades it in over the dimmed window.
  void open();
  // Fades the window out and closes it 0.3 s later; it stays alive while its opener keeps it.
  void close() override;

  std::shared_ptr<OXFullScreenOptionsView> panel() const { return panel_; }
  std::shared_ptr<OXSimpleAlertView> simpleAlertView() const { return simpleAlertView_; }

 protected:
  OXFullScreenMenu() = default;

 private:
  static std::shared_ptr<OXFullScreenMenu> withContent(const std::shared_ptr<OXFullScreenOptionsView>& panel,
                                                       const std::shared_ptr<OXSimpleAlertView>& alert);
  ox::ButtonPtr button(quint64 index) const;

  std::shared_ptr<OXFullScreenOptionsView> panel_;
  std::shared_ptr<OXSimpleAlertView> simpleAlertView_;
  quint64 firstSelected_ = 0;
};
