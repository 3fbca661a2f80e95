#include "app/ShowsView.h"


#include "app/CALayer_Transitions.h"
#include "core/OXLibrary.h"
#include "core/OXPreferencesValues.h"
#include "platform/foundation/FileName.h"
#include "platform/layers/Transaction.h"
#include "platform/ui/Window.h"

using ox::Transaction;

ShowsView::ShowsView(const QRectF& frame) : MoviesView(frame) {}

ShowsView::~ShowsView() {
  if (episodeView_) episodeView_->setWeakShowView({});
}

QString ShowsView::sectionName() const { return QStringLiteral("Shows"); }

QList<ox::CodingPtr> ShowsView::contentList() const { return sortedByTitle(OXLibrary::shareLibrary()->showList()); }

bool ShowsView::hasNoEpisodeFile(const OXShow& show, const OXLibrary::EpisodeList& episodes) {
  for (const auto& e : episodes) {
    if (e->showID() != show.showID()) continue;
    const std::shared_ptr<OXFile> file = e->file();
    if (file && ox::existsAtPath(file->filePath())) return false;
  }
  return true;
}

bool ShowsView::isContentDisable(const ox::CodingPtr& record) const {
  const auto show = std::dynamic_pointer_cast<OXShow>(record);
  return !show || hasNoEpisodeFile(*show, OXLibrary::shareLibrary()->episodeList());
}

std::shared_ptr<EpisodeView> ShowsView::episodeViewForShow(const std::shared_ptr<OXShow>& show) {
  return EpisodeView::initWithFrame(OXPreferencesValues::sharePreferences()->mainScreenFrame(), show);
}

void ShowsView::keyPlay() {
  if (!acceptEvents_) return;
  const auto show = std::dynamic_pointer_cast<OXShow>(objectSelected());
  // An empty row opens nothing.
  if (!show) return;
  appearTimer_.cancel();
  setAnimationToOpacity(footerBaseLayer_, 0.0f, 0.2f);
  Transaction::begin();
  Transaction::setAnimationDuration(0.3);
  Transaction::setAnimationTimingFunction(ox::TimingFunction::easeOut());
  // The dark ground band slides down by a tenth of the view while the row shrinks away; the picture stays.
  lowerGround(true);
  coverflowLayer_->setTransform(ox::Transform3D::makeScale(0.4, 0.4, 0.4));
  coverflowLayer_->setOpacity(0);
  Transaction::commit();

  // An earlier episode view still held leaves the window before the next one comes.
  if (episodeView_) {
    episodeView_->setWeakShowView({});
    episodeView_->removeFromSuperview();
    episodeView_.reset();
  }
  episodeView_ = episodeViewForShow(show);
  if (!episodeView_) return;
  episodeView_->setWeakShowView(std::static_pointer_cast<ShowsView>(self()));
  if (const ox::ViewPtr content = superview()) content->addSubview(episodeView_);
  if (const auto w = window()) w->makeFirstResponder(episodeView_);
}

void ShowsView::backFromEpisodeList() {
  const std::shared_ptr<EpisodeView> closing = episodeView_;
  std::weak_ptr<ShowsView> weak = std::static_pointer_cast<ShowsView>(self());
  Transaction::begin();
  Transaction::setAnimationDuration(0.3);
  Transaction::setAnimationTimingFunction(ox::TimingFunction::easeOut());
  Transaction::setCompletionBlock([weak, closing] {
    const auto s = weak.lock();
    if (!s) return;
    setAnimationToOpacity(s->footerBaseLayer_, 1.0f, 0.2f);
    setAnimationToOpacity(s->coverflowLayer_, 1.0f, 0.2f);
    if (const auto w = s->window()) w->makeFirstResponder(s);
    if (closing) {
      closing->setWeakShowView({});
      closing->removeFromSuperview();
    }
    // Play may have opened another one meanwhile; that one stays.
    if (s->episodeView_ == closing) s->episodeView_.reset();
  });
  lowerGround(false);
  coverflowLayer_->setTransform(ox::Transform3D());
  coverflowLayer_->setOpacity(1);
  // Menu may come while an episode that could not be opened is still on its way back, whose return would have
  // faded this view in and restarted the preview: the episode view goes before it, so this view does both.
  layer()->setOpacity(1);
  if (!player_) startMusic();
  if (closing) closing->hideMenu();
  Transaction::commit();
}

void ShowsView::lowerGround(bool lowered) {
  if (!movieBackdrop_ || movieBackdrop_->sublayers().empty()) return;
  const ox::LayerPtr& ground = movieBackdrop_->sublayers().front();
  QRectF f = ground->frame();
  f.moveTop(lowered ? -0.1 * frame().height() : 0);
  ground->setFrame(f);
}

void ShowsView::keyMenu() {
  if (!acceptEvents_) return;
  if (player_) player_->setVolume(0);
  leaveForHome(2);
}
