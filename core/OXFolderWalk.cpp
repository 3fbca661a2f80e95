#include "core/OXFolderWalk.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool endsWithOneOf(const QString& path, const QStringList& suffixes) {
  for (const QString& s : suffixes)
    if (path.endsWith(s, Qt::CaseSensitive)) return true;
  return false;
}

void walk(const QString& dirPath, const QString& prefix, const QStringList& suffixes, QStringList& out) {
  const QDir dir(dirPath);
  const QFileInfoList entries =
      dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo& entry : entries) {
    const QString path = prefix + entry.fileName();
    if (endsWithOneOf(path, suffixes)) out << path;
    if (entry.isDir() && !entry.isSymLink()) walk(entry.filePath(), path + QLatin1Char('/'), suffixes, out);
  }
}

}  // namespace

QStringList pathsBelowFolder(const QString& folder, const QStringList& suffixes) {
  QStringList out;
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return out;
  QString prefix = folder;
  // The stored forms of folders end with "/"; the entries get exactly one separator.
  while (prefix.size() > 1 && prefix.endsWith(QLatin1Char('/'))) prefix.chop(1);
  if (!prefix.endsWith(QLatin1Char('/'))) prefix += QLatin1Char('/');
  walk(folder, prefix, suffixes, out);
  return out;
}
