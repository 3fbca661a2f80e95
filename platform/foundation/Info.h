#pragma once
#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace ox {

// The program's information values ("CFBundleName", "CFBundleVersion", "SUFeedURL", service hosts, ...).
// Each program registers its values at start; tests and the demo redirect some of them through environment variables.
// Thread-safe.
void registerInfoValues(const QVariantMap& values);  // merged over what is already registered
void registerInfoEnvironmentOverride(const QString& key, const QString& envVarName);
// The registered environment variable's text when that variable is set and not empty, else the program's value
// (an invalid QVariant when there is none).
QVariant infoValue(const QString& key);

// Application Support: the XDG data home (Qt's generic data location), so the system's "Ombrix" folder lands at
// $XDG_DATA_HOME/Ombrix. The folder is not created here.
QString applicationSupportDirectory();

// The program's resource file "<name>.<type>" (fonts, images, strings of our own), looked for in the folder named by
// OMBRIX_RESOURCES_DIR, then in the program's compiled-in resources (":/"), then in "share/ombrix" of the prefix the
// program is installed in (beside its bin folder), each at its top and one sub-folder down. Empty when none holds it.
QString pathForResource(const QString& name, const QString& type);

}  // namespace ox
