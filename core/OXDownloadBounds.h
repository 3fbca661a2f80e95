#pragma once
#include <QtGlobal>

// The most bytes, once decoded, that each kind of answer may have: far above what its service sends for it, far below
// what would fill the disk or the memory when it sends something else. A longer answer fails (its transfer ends at
// the bound) and leaves no file. Answers kept in memory are bounded tightest, since many are under way at once.
struct OXDownloadBounds {
  static constexpr qint64 kPoster = qint64(16) << 20;       // a "/w500/" picture
  static constexpr qint64 kBackdrop = qint64(32) << 20;     // a "/w1920/" picture
  static constexpr qint64 kThumbnail = qint64(2) << 20;     // a "/w75/" picture or an episode still in a list
  static constexpr qint64 kSoundtrack = qint64(32) << 20;   // a theme-music preview of some seconds
  static constexpr qint64 kTrailerList = qint64(32) << 20;  // "trailers_en.ox", a few thousand search hits
  static constexpr qint64 kBackdropList = qint64(1) << 20;  // a home backdrop list: image URLs and commas
  static constexpr qint64 kSearchAnswer = qint64(2) << 20;  // one page of search hits (20 documents)
  static constexpr qint64 kEpisodeRecord = qint64(1) << 20;  // TheTVDB's record of one episode
  static constexpr qint64 kSeriesRecord = qint64(16) << 20;  // TheTVDB's series with all its episodes, or its updates
  static constexpr qint64 kCloudAnswer = qint64(4) << 20;    // an answer of the cloud account and content service
  static constexpr qint64 kQueueAnswer = qint64(64) << 10;   // a message queue's receipt, never read
  // The most pixels a thumbnail may claim (ImageDecoder::kMostPixels bounds posters and backdrops): a still of 1920 x
  // 1080 fits, and a page of them holds a quarter of what as many posters could.
  static constexpr qint64 kThumbnailPixels = qint64(2048) * 2048;
};
