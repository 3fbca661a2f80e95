#pragma once
#include <QtGlobal>

// The most bytes, once decoded, that each kind of download may have: far above what the content bucket serves for
// it, far below what would fill the disk or the memory when it serves something else. A longer answer fails and
// leaves no file.
struct OXDownloadBounds {
  static constexpr qint64 kPoster = qint64(16) << 20;       // a "/w500/" picture
  static constexpr qint64 kBackdrop = qint64(32) << 20;     // a "/w1920/" picture
  static constexpr qint64 kSoundtrack = qint64(32) << 20;   // a theme-music preview of some seconds
  static constexpr qint64 kTrailerList = qint64(32) << 20;  // "trailers_en.ox", a few thousand search hits
  static constexpr qint64 kBackdropList = qint64(1) << 20;  // a home backdrop list: image URLs and commas
};
