#include "core/OXPreferencesValues.h"

#include <QGuiApplication>

OXPreferencesValues::OXPreferencesValues() {
  // Without a GUI application there are no screens (primaryScreen answers null).
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) m_screen = QGuiApplication::primaryScreen();
}

OXPreferencesValues* OXPreferencesValues::sharePreferences() {
  // A function-local static is created exactly once even under concurrent first calls; never destroyed, so
  // late users during exit are safe.
  static OXPreferencesValues* const instance = new OXPreferencesValues;
  return instance;
}

QRectF OXPreferencesValues::mainScreenFrame() const {
  std::lock_guard lock(m_mutex);
  QRect geometry;
  if (m_testGeometry)
    geometry = *m_testGeometry;
  else if (m_screen)
    geometry = m_screen->geometry();
  else
    return QRectF(0, 0, 0, 0);
  return QRectF(0, 0, geometry.width(), geometry.height());
}

QScreen* OXPreferencesValues::mainScreen() const {
  std::lock_guard lock(m_mutex);
  return m_screen.data();
}

void OXPreferencesValues::setMainScreen(QScreen* screen) {
  std::lock_guard lock(m_mutex);
  m_screen = screen;
}

void OXPreferencesValues::setScreenGeometryForTesting(std::optional<QRect> geometry) {
  std::lock_guard lock(m_mutex);
  m_testGeometry = geometry;
}
