#include "scanner/OXCoreLibrary.h"

// Identification as the engine uses it: one file by path, one unknown file in hash mode, and the unknown episodes
// of a folder.
#include "scanner/OXScanEpisodesUnknown.h"
#include "scanner/OXScanRoot.h"

OXCoreLibrary::Identification OXCoreLibrary::defaultIdentification() {
  Identification id;
  id.scanPath = [](const QString& path, int type, const Identification::Library& library,
                   const DelegatePtr& delegate) {
    auto scan = OXScanRoot::initWithPath(path, type);
    if (!scan) return;  // no path, or inside a ".ite" bundle
    scan->setLibrary(library);
    scan->setDelegate(delegate);
    scan->runScan();
  };
  id.scanHash = [](const std::shared_ptr<OXFile>& file, int type, const Identification::Library& library,
                   const DelegatePtr& delegate) {
    auto scan = OXScanRoot::initWithFile(file, type);
    if (!scan) return;
    scan->setLibrary(library);
    scan->setDelegate(delegate);
    scan->setHashMode(true);
    scan->runScan();
  };
  id.findUnknownEpisodesBySameFolder = [](const Identification::Library& library, const DelegatePtr& delegate) {
    OXScanEpisodesUnknown unknown;
    unknown.setLibrary(library);
    unknown.setDelegate(delegate);
    unknown.findUnknownEpisodesBySameFolder();
  };
  return id;
}
