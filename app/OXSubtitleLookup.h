#pragma once
#include <QVariantList>
#include <functional>
#include <memory>

#include "platform/foundation/DelayedCall.h"
#include "platform/foundation/KeyedArchiver.h"

namespace ox {
class HttpCancel;
class OperationQueue;
}  // namespace ox

// The OpenSubtitles search a browser runs for the title it is about to play, on a queue of its own: the splash
// screen stays up and the keys stay live while the service answers. The answer comes back on the main thread, once,
// unless the search was cancelled first. A service that fails gives an empty list, and one that has not answered
// within kTimeout is cut off with an empty list, so the title plays without subtitles. Main thread; the search
// itself reads only the record and the library, never a view.
class OXSubtitleLookup {
 public:
  // The browsers' orders: the library's views search and then empty the subtitle cache (the movie browser logs out
  // afterwards, once the answer is on its way); the streamer views empty the cache first and keep the session.
  enum class Order { SearchThenEmpty, SearchEmptyAndLogOut, EmptyThenSearch };
  using Answer = std::function<void(const QVariantList& subtitles)>;

  OXSubtitleLookup();
  // Ends a search under way; never waits for the service.
  ~OXSubtitleLookup();
  OXSubtitleLookup(const OXSubtitleLookup&) = delete;
  OXSubtitleLookup& operator=(const OXSubtitleLookup&) = delete;

  // Searches for `record`, ending any earlier search first.
  void start(const ox::CodingPtr& record, Order order, Answer answer);
  // No answer comes any more and the exchange with the service ends.
  void cancel();
  // Started, and its answer not given yet.
  bool isSearching() const { return bool(pending_); }

  // One call's own time-out: a slow service holds the title no longer than a single call may take.
  static constexpr double kTimeout = 20.0;

 private:
  void finish(const QVariantList& subtitles);

  struct Pending {
    Answer answer;
  };
  std::shared_ptr<Pending> pending_;
  // The exchange of the last search, which may go on with its log-out once the answer is given.
  std::shared_ptr<ox::HttpCancel> exchange_;
  std::unique_ptr<ox::OperationQueue> queue_;
  ox::DelayedCall deadline_;
};
