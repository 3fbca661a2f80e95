#pragma once
// How a caller's key stands in an archive, shared by the archiver and the unarchiver.
#include <QString>

namespace ox {

// Keys of the archive's own ("$class", "$classname", ...) begin with "$"; a caller's key that does too gets one more.
// The format's keys end at a NUL, as C strings do.
inline QString archiveKey(const QString& key) {
  QString out = key.startsWith(QLatin1Char('$')) ? QLatin1Char('$') + key : key;
  const qsizetype nul = out.indexOf(QChar(0));
  if (nul >= 0) out.truncate(nul);
  return out;
}

inline QString callerKey(const QString& key) {
  return key.startsWith(QLatin1String("$$")) ? key.mid(1) : key;
}

}  // namespace ox
