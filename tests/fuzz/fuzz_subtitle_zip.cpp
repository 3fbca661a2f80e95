// Fuzz target for subtitle archives: the bytes are a downloaded archive, unpacked into a language folder as the
// player does, in a scratch folder that goes with the call.
#include <QFile>
#include <QTemporaryDir>

#include "playback/OXSubtitleDownload.h"
#include "tests/fuzz/FuzzEntry.h"

OX_FUZZ_ENTRY(subtitle_zip) {
  const QTemporaryDir scratch;
  if (!scratch.isValid()) return 0;
  const QString zipPath = scratch.filePath(QStringLiteral("subtitle.zip"));
  QFile zip(zipPath);
  if (!zip.open(QIODevice::WriteOnly)) return 0;
  zip.write(reinterpret_cast<const char*>(data), qint64(size));
  zip.close();
  OXSubtitleDownload::unzipFileTo(zipPath, scratch.filePath(QStringLiteral("es")));
  OXSubtitleDownload::firstSRTFile(scratch.filePath(QStringLiteral("es")));
  return 0;
}
