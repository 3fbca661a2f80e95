#pragma once
#include <QString>
#include <QVariant>

namespace ox {

// The program's user defaults: QSettings of organisation "Varnel" under the program's bundle name
// ($XDG_CONFIG_HOME/Varnel/<name>.conf). Thread-safe; a value set is visible at once to every caller in the process.
// The file keeps texts, so a number or boolean reads back as its text: read through toInt(), toBool(), ...
class UserDefaults {
 public:
  // Defaults to the information value "CFBundleName", else the Qt application name.
  static void setApplicationName(const QString& name);
  static QString applicationName();

  static QVariant value(const QString& key, const QVariant& fallback = {});
  static bool contains(const QString& key);
  static void setValue(const QString& key, const QVariant& value);
  static void remove(const QString& key);
  static bool synchronize();  // writes pending changes and reads changes of other processes; false on failure
};

}  // namespace ox
