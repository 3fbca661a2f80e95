#include "platform/ui/Cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace ox {
namespace {
int g_hides = 0;
bool guiApp() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }
}  // namespace

void Cursor::hide() {
  if (++g_hides == 1 && guiApp()) QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
}

void Cursor::unhide() {
  if (g_hides == 0) return;
  if (--g_hides == 0 && guiApp()) QGuiApplication::restoreOverrideCursor();
}

bool Cursor::isHidden() { return g_hides > 0; }
int Cursor::hideCount() { return g_hides; }

}  // namespace ox
