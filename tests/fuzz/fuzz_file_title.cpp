// Fuzz target for the title cleaner: the bytes are a path as the folder walk reads it from the disk, filed as a movie
// and as an episode, whose search title, year, season and episode are read as the scan reads them.
#include <QByteArray>

#include "core/OXFile.h"
#include "platform/foundation/FileName.h"
#include "tests/fuzz/FuzzEntry.h"

OX_FUZZ_ENTRY(file_title) {
  const QString path = ox::decodeFileName(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
  quint64 touched = 0;
  for (const qint32 type : {OXFile::kTypeMovie, OXFile::kTypeEpisode}) {
    OXFile file(type);
    file.setFilePath(path);
    touched += file.fulltext().size() + file.queryDeletingLastWords(1).size() + file.parseYear();
    touched += file.parseSeasonNumber() + file.parseEpisodeNumber();
    touched += file.description().size();
  }
  (void)touched;
  return 0;
}
