#pragma once
#include <QString>
#include <memory>

#include "core/OXLibrary.h"
#include "scanner/OXCoreLibraryDelegate.h"
#include "scanner/OXOmbrixOSXAPI.h"

// Identifies one video file: a movie when it was found under a movie folder (type 1), a show and an episode when
// under a TV-show folder (type 3). What it finds goes into the library and to the delegate; an unidentified movie
// goes to the unknown movie list, an unidentified episode to the re-search list (settled by OXScanEpisodesUnknown).
// Only a real answer leaves a file unidentified (an empty one, a refusal no retry can change, or a title with nothing
// to search): when a service does not answer (a transport failure, a time-out, an error answer, a status asking to
// be asked later) the file is filed nowhere, so the next cycle, which takes every file not listed yet, tries it
// again. One object per file and per thread; the library (with its show cache) is the only state shared
// between files.
class OXScanRoot {
 public:
  // None for an empty path or one inside a ".ite" bundle (".ite/" anywhere in it).
  static std::unique_ptr<OXScanRoot> initWithPath(const QString& path, qint32 type);
  // Identifies the given record itself; none when it has no path or lies inside a ".ite" bundle.
  static std::unique_ptr<OXScanRoot> initWithFile(const std::shared_ptr<OXFile>& file, qint32 type);

  void runScan();
  // Identification by content keys is switched off: always NO, nothing is sent.
  bool searchHash();
  // Searches the title, then the title without its last word; YES when a match was found and added.
  bool searchFullText();
  std::shared_ptr<OXEpisode> searchEpisodeAndShowFullText(const QString& query);
  void addToList(const ox::CodingPtr& item);
  void addToUnknownList();

  std::weak_ptr<OXCoreLibraryDelegate> delegate() const { return delegate_; }
  void setDelegate(const std::weak_ptr<OXCoreLibraryDelegate>& delegate) { delegate_ = delegate; }
  qint32 contentType() const { return contentType_; }
  bool hashMode() const { return hashMode_; }
  void setHashMode(bool hashMode) { hashMode_ = hashMode; }
  std::shared_ptr<OXFile> file() const { return file_; }
  // The library filled; the process's shared library unless set.
  void setLibrary(const std::shared_ptr<OXLibrary>& library) { library_ = library; }

 private:
  OXScanRoot(std::shared_ptr<OXFile> file, qint32 type);
  static bool isInsideBundle(const QString& path);
  std::shared_ptr<OXLibrary> library() const;

  std::shared_ptr<OXFile> file_;
  OXOmbrixOSXAPI ombrixAPI_;
  bool hashMode_ = false;
  bool unanswered_ = false;  // a search of this file went unanswered: its outcome says nothing
  qint32 contentType_ = 0;
  std::weak_ptr<OXCoreLibraryDelegate> delegate_;
  std::shared_ptr<OXLibrary> library_;
};
