#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>
#include <mutex>

#include "platform/foundation/KeyedArchiver.h"

class OXLibrary;

// The folders the user gave to the helper: movie folders and TV-show folders. Over them it answers which video
// files are not scanned yet and purges the library of entries whose files are gone or lie outside every folder.
//
// Content type codes: 1 movie, 2 show, 3 episode; 4 and 5 name the library's lists of unknown movie and episode
// files. Folders are kept as directory URLs ("file:///home/u/Movies/"); paths are compared in their cleaned form,
// and "lies in a folder" means below it: "/home/u/Movies" does not hold "/home/u/Movies2/x".
class OXRootList final : public ox::Coding {
 public:
  OXRootList();
  static std::shared_ptr<OXRootList> initWithCoder(const ox::Decoder& coder);
  void encodeWithCoder(ox::Coder& coder) const override;
  QString archiveClassName() const override { return QStringLiteral("OXRootList"); }

  // Adds the folders the list does not hold yet; YES when the set of top-level folders gained one.
  bool addURLs(const QList<QUrl>& urls, int type);
  // The stored folders of the kind (1 movies, else TV shows) that lie in no other stored folder, in order.
  QList<QUrl> folderToScanType(int type) const;
  QStringList getMovieFilesNotScanned() const;
  QStringList getEpisodeFilesNotScanned() const;
  // Every video file below the folder (".mkv", ".mp4", ".mov", ".mpg", ".m4v", ".avi", ".ts", case-sensitive).
  static QStringList getAllVideoFilesFromPath(const QString& path);
  quint64 numberOfMovieRootPaths() const;
  quint64 numberOfEpisodesRootPaths() const;
  // Purges the four lists of the library, then the shows left without episodes; posts "reloadContentList" and
  // "libraryChanged" on the calling thread. Saves nothing.
  void removeElementsOutsideFolderToScan();
  // `list`: entries of the library list named by `contentType` (1, 3, 4 or 5).
  void removeDeprecatedFilesFromList(const QList<ox::CodingPtr>& list, int contentType);
  bool isInRootPath(const QString& path, int contentType) const;
  void cleanShowsWithOutEpisodes();
  // Type 1 removes a movie folder, type 3 a TV-show folder; an index outside the list or another type does nothing.
  void removeObjectAtIndex(qsizetype index, int type);

  QList<QUrl> moviePaths() const;
  void setMoviePaths(const QList<QUrl>& paths);
  QList<QUrl> episodePaths() const;
  void setEpisodePaths(const QList<QUrl>& paths);

  // The library whose lists this root list reads and purges; without one, the process's shared library.
  void setLibrary(const std::weak_ptr<OXLibrary>& library);

  // A folder URL's path in the form used for every comparison (no trailing "/"), kept bytes as the file paths keep
  // them (platform/foundation/FileName.h); empty for a non-file URL.
  static QString canonicalFolderPath(const QUrl& url);
  // `path` lies below `folder` (both in canonical form).
  static bool pathLiesInFolder(const QString& path, const QString& folder);
  // A path in the form used for every comparison (QDir::cleanPath's), at the cost of one look for a path that is
  // in that form already; empty for an empty path.
  static QString cleanedPath(const QString& path);

 private:
  std::shared_ptr<OXLibrary> library() const;
  QList<QUrl> pathsOfKind(int type) const;
  QStringList filesNotScanned(const QList<QUrl>& folders, int type) const;

  // The folder lists change on the helper's main thread while the scanning queue and saves read them.
  mutable std::mutex mutex_;
  QList<QUrl> moviePaths_;
  QList<QUrl> episodePaths_;
  bool hasLibrary_ = false;
  std::weak_ptr<OXLibrary> library_;
};
