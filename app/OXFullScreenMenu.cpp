#include "app/OXFullScreenMenu.h"

#include "app/OXOverlayLayers.h"
#include "core/OXTools.h"

using namespace ox;

std::shared_ptr<OXFullScreenMenu> OXFullScreenMenu::initAlertWithTexts(const QStringList& texts) {
  return withContent(nullptr, OXSimpleAlertView::initWithText(texts));
}

std::shared_ptr<OXFullScreenMenu> OXFullScreenMenu::initWithTitle(const QString& title,
                                                                  const QStringList& buttonsText) {
  return withContent(OXFullScreenOptionsView::initWithTitle(title, buttonsText), nullptr);
}

std::shared_ptr<OXFullScreenMenu> OXFullScreenMenu::withContent(const std::shared_ptr<OXFullScreenOptionsView>& panel,
                                                                const std::shared_ptr<OXSimpleAlertView>& alert) {
  std::shared_ptr<OXFullScreenMenu> w(new OXFullScreenMenu);
  w->panel_ = panel;
  w->simpleAlertView_ = alert;
  const ViewPtr content = panel ? ViewPtr(panel) : ViewPtr(alert);
  w->addContent(content);
  w->present(content);
  return w;
}

ButtonPtr OXFullScreenMenu::button(quint64 index) const {
  if (!panel_ || index >= panel_->buttons().size()) return nullptr;
  return panel_->buttons()[index];
}

void OXFullScreenMenu::setFirstSelected(quint64 index) {
  firstSelected_ = index;
  if (panel_) panel_->setFirstSelected(index);
}

void OXFullScreenMenu::open() {
  View* content = panel_ ? static_cast<View*>(panel_.get()) : static_cast<View*>(simpleAlertView_.get());
  OXSetupLayers* builder = panel_ ? static_cast<OXSetupLayers*>(panel_.get())
                                  : static_cast<OXSetupLayers*>(simpleAlertView_.get());
  if (!content) return;
  builder->setupLayers();
  content->setAlphaValue(0.0);
  content->animateAlphaValue(1.0);
}

void OXFullScreenMenu::close() {
  animateAlphaValue(0.0);
  auto self = std::static_pointer_cast<OXFullScreenMenu>(shared_from_this());
  performBlockAfterDelay([self] { self->Window::close(); }, 0.3);
}
