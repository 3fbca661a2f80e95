#include "platform/ui/Workspace.h"

#include <QDesktopServices>

#include "platform/foundation/Log.h"

namespace ox {
namespace {

Workspace::Opener& opener() {
  static Workspace::Opener installed;
  return installed;
}

}  // namespace

bool Workspace::openURL(const QUrl& url) {
  const bool opened = opener() ? opener()(url) : QDesktopServices::openUrl(url);
  if (!opened) OXLOG("the desktop could not open %s", qPrintable(url.toString()));
  return opened;
}

void Workspace::setOpener(Opener installed) { opener() = std::move(installed); }

}  // namespace ox
