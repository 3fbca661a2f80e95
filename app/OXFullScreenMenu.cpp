#include "app/OXFullScreenMenu.h"

#include "app/OXOverlayLayers.h"
#include "core/OXTools.h"
#include "playback/OXVideoPlayer.h"

using namespace ox;

OXFullScreenMenu::OXFullScreenMenu() : Window(OXVideoPlayer::screenContentRect()) {
  setLevel(WindowLevel::ScreenSaver - 1);
  setAlphaValue(0.0);
  setBackgroundColor(QColor::fromRgbF(0, 0, 0, 0.5f));
  setOpaque(false);
}

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
  w->setContentView(std::make_shared<View>());
  const ViewPtr content = panel ? ViewPtr(panel) : ViewPtr(alert);
  w->contentView()->addSubview(content);
  w->makeMainWindow();
  w->makeKeyWindow();
  w->orderFront();
  w->makeFirstResponder(content);
  w->enableBlurForWindow();
  w->animateAlphaValue(1.0);
  return w;
}

void OXFullScreenMenu::enableBlurForWindow() { setBackgroundBlurRadius(kBlurRadius); }

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
