#pragma once
#include <QPointer>
#include <QRectF>
#include <QScreen>

#include <mutex>
#include <optional>

// The display screen the full-screen interface uses, for the whole process. Layouts size themselves from
// mainScreenFrame(), always with a zero origin, whatever the screen's place among several displays.
class OXPreferencesValues {
 public:
  // The one instance, created thread-safely on first use; it holds the application's primary screen of that moment.
  static OXPreferencesValues* sharePreferences();

  // (0, 0, width, height) of the chosen screen's geometry; all zero when no screen is held (none at creation, or
  // the screen went away).
  QRectF mainScreenFrame() const;
  QScreen* mainScreen() const;
  // Held weakly: the screen's removal leaves no screen, never a dangling one.
  void setMainScreen(QScreen* screen);

  // Tests: stands in for the chosen screen's geometry (a screen that no headless platform offers); nullopt restores
  // the real screen.
  void setScreenGeometryForTesting(std::optional<QRect> geometry);

 private:
  OXPreferencesValues();

  mutable std::mutex m_mutex;
  QPointer<QScreen> m_screen;
  std::optional<QRect> m_testGeometry;
};
