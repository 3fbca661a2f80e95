#pragma once
#include <memory>

#include "core/OXFile.h"
#include "platform/foundation/KeyedArchiver.h"

// What the scan engine and identification tell their delegate (the helper's content list). Calls come on any
// thread: identification threads, the completion thread of an identification operation, or the main thread.
class OXCoreLibraryDelegate {
 public:
  virtual ~OXCoreLibraryDelegate() = default;
  // A file that could not be identified.
  virtual void unknownAdded(const std::shared_ptr<OXFile>& file) = 0;
  // A file that left an unknown list because it was identified after all.
  virtual void removeUnknown(const std::shared_ptr<OXFile>& file) = 0;
  // An OXMovie, OXShow or OXEpisode that was just added to the library (a show before its first episode).
  virtual void contentAdded(const ox::CodingPtr& item) = 0;
};
