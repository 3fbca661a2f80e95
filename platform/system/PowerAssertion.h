#pragma once
#include <QString>
#include <QtGlobal>

namespace ox {

// Keeps the display awake while some work runs. On a desktop session this is an inhibit request to
// org.freedesktop.ScreenSaver on the session bus; without one (headless, no bus) the request is a logged no-op and
// the work goes on regardless.
class PowerAssertion {
 public:
  // Asks for the inhibit; `name` is the reason the session shows ("Updating Ombrix Library").
  explicit PowerAssertion(const QString& name);
  // Releases what was granted, once.
  ~PowerAssertion();
  PowerAssertion(const PowerAssertion&) = delete;
  PowerAssertion& operator=(const PowerAssertion&) = delete;

  bool isGranted() const { return cookie_ != 0; }
  void release();

  // Resets the session's idle time, as a key press would, so the display wakes for what comes next; a no-op
  // without a screen saver service. Answers whether the session took it.
  static bool reportUserActivity();

  // Process-wide counts of granted inhibits and of their releases (for diagnostics and tests).
  static quint64 grantedCount();
  static quint64 releasedCount();

 private:
  quint32 cookie_ = 0;
  QString busName_;  // the private connection that holds the grant
};

}  // namespace ox
