#include "app/OXStreamRequest.h"

#include "core/OXFileAndLinks.h"

bool OXStreamRequest::start(const ox::CodingPtr& record, float ratio,
                            const std::shared_ptr<OXPeerflixDelegate>& delegate,
                            const std::shared_ptr<ox::TextLayer>& status) {
  stop();
  record_ = record;
  ratio_ = ratio;
  subtitles_.clear();
  subtitlesIn_ = false;
  address_.clear();
  const auto* withLinks = dynamic_cast<const OXFileAndLinks*>(record.get());
  const QStringList links = withLinks ? withLinks->links() : QStringList();
  // Only the first link is played; the others are the plug-ins' alternatives.
  if (links.isEmpty() || links.first().isEmpty()) return false;
  peerflix_ = OXPeerflix::initWithMagnetLink(links.first());
  peerflix_->setDelegate(delegate);
  peerflix_->setTextLayer(status);
  return true;
}

void OXStreamRequest::stop() {
  if (!peerflix_) return;
  const std::shared_ptr<OXPeerflix> driver = std::move(peerflix_);
  driver->stop();
  driver->setDelegate(nullptr);
}

std::shared_ptr<OXPlayerController> OXStreamRequest::openPlayer() const {
  return OXPlayerController::initWithData(record_, ratio_, subtitles_, address_);
}
