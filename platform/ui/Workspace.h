#pragma once
#include <QUrl>
#include <functional>

namespace ox {

// Hands addresses to the desktop: a web address opens in the default browser. Main thread only.
class Workspace {
 public:
  using Opener = std::function<bool(const QUrl&)>;
  // False when the desktop could not open it (the reason is logged).
  static bool openURL(const QUrl& url);
  // Tests put a recorder in the desktop's place; an empty opener brings the desktop back.
  static void setOpener(Opener opener);
};

}  // namespace ox
