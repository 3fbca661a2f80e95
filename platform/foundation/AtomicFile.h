#pragma once
#include <QByteArray>
#include <QString>

namespace ox {

// Writes bytes to a file atomically: temporary file in the same folder (".<name>.saving-XXXXXX", locked while
// written), flush and fsync, rename over the target. Answers false (and keeps the old file) on any failure.
bool writeFileAtomically(const QString& path, const QByteArray& bytes);

// Removes the temporary files that writes of `path` left behind when their process died mid-write: regular files of
// this user named as writeFileAtomically names them, that no writer holds and that have not changed for a minute.
// Nothing else is touched, whatever its name. Answers how many went.
int removeStaleTemporaries(const QString& path);

}  // namespace ox
