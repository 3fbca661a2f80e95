#pragma once
#include <functional>

#include "platform/foundation/KeyedArchiver.h"

// How the panel's two lists drive the panel: the content list opens the manual search for a row's item, the search
// list goes back and hands over the user's choice. Main thread only.
class OXPanelListControllerDelegate {
 public:
  virtual ~OXPanelListControllerDelegate() = default;
  // `item`: an unrecognised OXFile, an OXMovie or an OXShow.
  virtual void pushToSearchListWithData(const ox::CodingPtr& item) = 0;
  virtual void popToContentList() = 0;
  // Identifies `wrong` (the item of the row) as `correct` (the chosen result; a movie already carries the file).
  // The look-ups run off the main thread; `done` comes on the main thread once the store holds the change.
  virtual void fixContent(const ox::CodingPtr& wrong, const ox::CodingPtr& correct, std::function<void()> done) = 0;
};
