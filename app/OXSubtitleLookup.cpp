#include "app/OXSubtitleLookup.h"

#include "core/OXApplicationSupport.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/OperationQueue.h"
#include "playback/OXOpenSubtitleController.h"

namespace {

void emptySubtitleCache() {
  if (const auto cache = OXApplicationSupport::initWithFolderName(QStringLiteral("Player")))
    cache->cleanSubtitleFolder();
}

}  // namespace

OXSubtitleLookup::OXSubtitleLookup() = default;

OXSubtitleLookup::~OXSubtitleLookup() {
  cancel();
  if (exchange_) exchange_->cancel();
  ox::OperationQueue::dispose(std::move(queue_));
}

void OXSubtitleLookup::start(const ox::CodingPtr& record, Order order, Answer answer) {
  cancel();
  // A log-out still under way goes as well: the searches take turns on the queue, and one must not wait for it.
  if (exchange_) exchange_->cancel();
  if (!queue_) queue_ = std::make_unique<ox::OperationQueue>(1);
  pending_ = std::make_shared<Pending>(Pending{std::move(answer)});
  exchange_ = std::make_shared<ox::HttpCancel>();
  const std::shared_ptr<const ox::HttpCancel> exchange = exchange_;
  const std::weak_ptr<Pending> waiting = pending_;
  OXSubtitleLookup* const lookup = this;
  queue_->addOperationWithBlock([record, order, exchange, waiting, lookup] {
    // Every call of the session carries the token, so a cancel ends whichever call is waiting.
    const ox::HttpCancelScope scope(exchange);
    if (order == Order::EmptyThenSearch) emptySubtitleCache();
    const std::shared_ptr<OXOpenSubtitleController> session = OXOpenSubtitleController::init();
    const QVariantList subtitles = session ? session->searchAllSubtitleForContent(record) : QVariantList();
    if (exchange->isCancelled()) return;
    if (order != Order::EmptyThenSearch) emptySubtitleCache();
    ox::dispatchMain([waiting, lookup, subtitles] {
      // The pending search lives as long as its lookup and only while it is the one waited for.
      if (waiting.lock()) lookup->finish(subtitles);
    });
    // The title does not wait for the log-out.
    if (order == Order::SearchEmptyAndLogOut && session) session->close();
  });
  deadline_.start(kTimeout, [this] {
    exchange_->cancel();
    finish({});
  });
}

void OXSubtitleLookup::cancel() {
  if (!pending_) return;
  pending_.reset();
  deadline_.cancel();
  exchange_->cancel();
}

void OXSubtitleLookup::finish(const QVariantList& subtitles) {
  deadline_.cancel();
  const std::shared_ptr<Pending> done = std::move(pending_);
  // The answer may end the view, and this lookup with it.
  if (done && done->answer) done->answer(subtitles);
}
