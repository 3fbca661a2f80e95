#pragma once
#include <QString>
#include <QUrl>

// Fetches one language's zipped subtitle into the "Subtitles" cache folder and unpacks it there. The language folder
// appears whole or not at all: the archive lands under its ".zip" name only once complete (the HTTP client writes a
// temporary file and renames it), and is unpacked into a temporary folder beside the language folder that is then
// renamed into place.
class OXSubtitleDownload {
 public:
  // Blocking; runs on a download queue. `zipPath` and `folder` come from the cache folder's subtitle paths.
  // Answers whether the language folder now exists, which it does only when the archive gave a subtitle; failures
  // are logged. When it does, `srtFile` (if given) is set to its firstSRTFile, so that whoever loads the subtitle
  // need not look through the folder.
  static bool downloadAndUnpack(const QUrl& url, const QString& zipPath, const QString& folder,
                                QString* srtFile = nullptr);

  // Unpacks the regular entries of the archive below `folder` (made when missing), overwriting. Names are UTF-8
  // where the entry says so or the bytes are UTF-8, code page 437 otherwise; "." parts are dropped, and of two entries
  // that name one file the later gets a name of its own. Entries whose names would leave the folder ("..", absolute
  // paths, drive letters, either slash) or lie deeper than kFolderDepthLimit are refused and logged; so are entries
  // past the size limits. false, with nothing unpacked, for an archive of more than kEntryCountLimit entries; false
  // when the archive cannot be opened or read, or an entry does not come out whole.
  static bool unzipFileTo(const QString& zipPath, const QString& folder);

  // The first file with the extension "srt" (any case) below the folder, searched in name order, depth first;
  // empty when there is none. Symbolic links are not followed.
  static QString firstSRTFile(const QString& folder);

  // Every entry at most this large, all of them together at most four times this.
  static constexpr qint64 kEntryLimit = 32 * 1024 * 1024;
  // A subtitle archive holds a few files. Counted: its file entries and every folder its paths make.
  static constexpr qsizetype kEntryCountLimit = 1000;
  // Folders above an entry's file, below the language folder.
  static constexpr qsizetype kFolderDepthLimit = 4;
};
