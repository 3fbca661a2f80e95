#pragma once
#include <QByteArray>
#include <QString>

namespace ox {

// Writes bytes to a file atomically: temporary file in the same folder ("<name>.XXXXXX"), flush and fsync, rename
// over the target. Answers false (and keeps the old file) on any failure.
bool writeFileAtomically(const QString& path, const QByteArray& bytes);

}  // namespace ox
