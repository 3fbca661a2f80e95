#pragma once
#include <QString>
#include <QStringList>

namespace ox {

// The desktop's login items: one XDG autostart entry per program, $XDG_CONFIG_HOME/autostart/<identifier>.desktop,
// which the session starts at login. The bundle identifier names the file, so a program finds its own entry again.
class LoginItem {
 public:
  static QString desktopFilePath(const QString& identifier);
  // Writes (or replaces) the entry atomically; false when the folder or file cannot be written.
  static bool addToLoginItems(const QString& identifier, const QString& name, const QString& executable,
                              const QStringList& arguments = {});
  // A missing entry counts as removed.
  static bool removeFromLoginItems(const QString& identifier);
  // An entry exists and is not hidden (a desktop's own switch turns an entry off with "Hidden=true").
  static bool isInLoginItems(const QString& identifier);
  // When the entry is on but the program it starts is gone or not executable (an older install removed, a build
  // folder cleaned), makes it start `executable`, keeping the rest of the entry. An entry that starts a working
  // program, this one or another install of it, is left alone. Never creates or turns on an entry; false only when a
  // needed rewrite failed.
  static bool followProgram(const QString& identifier, const QString& executable);
  // One command-line argument as the desktop entry's Exec key wants it: quoted when it holds reserved characters.
  static QString quoteExecArgument(const QString& argument);
};

}  // namespace ox
