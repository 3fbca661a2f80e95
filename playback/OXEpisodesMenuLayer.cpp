#include "playback/OXEpisodesMenuLayer.h"

#include <QCoreApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/OXDownloadBounds.h"
#include "core/OXPreferencesValues.h"
#include "core/OXServiceHosts.h"
#include "core/OXTools.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainQueue.h"
#include "platform/layers/CALayer_AFNetworking.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Transaction.h"
#include "platform/ui/Images.h"
#include "playback/OXEpisodeLayoutManager.h"

using namespace ox;

namespace {

using A = ConstraintAttribute;

const QString kSuper = QStringLiteral("superlayer");
const QString kFont = QStringLiteral("oxfont-Regular");
const QString kCurrent = QStringLiteral("currentSeasonLayer");
const QString kNext = QStringLiteral("nextSeasonLayer");
const QString kPrevious = QStringLiteral("previousSeasonLayer");
const QString kList = QStringLiteral("episodeListLayer");
const QString kTitle = QStringLiteral("seasonTitle");
const QString kSelected = QStringLiteral("selectedIndex");
const QString kThumb = QStringLiteral("frameImageLayer");
const QString kCircle = QStringLiteral("circleLayer");
const QString kNumber = QStringLiteral("numberEpisode");

constexpr double kSlide = 0.2;
constexpr double kFinished = 0.92;
constexpr qsizetype kLongestTitle = 21;
constexpr int kSearchTimeoutMs = 10000;

QRectF screen() { return OXPreferencesValues::sharePreferences()->mainScreenFrame(); }

double backingScale() {
  QScreen* s = OXPreferencesValues::sharePreferences()->mainScreen();
  return s ? s->devicePixelRatio() : 1.0;
}

void constrain(const LayerPtr& l, A attribute, const QString& source, A sourceAttribute, double offset = 0) {
  l->addConstraint(Constraint(attribute, source, sourceAttribute, 1.0, offset));
}

std::shared_ptr<TextLayer> text(const QString& name, const QString& string, double size, TextAlignment alignment) {
  auto t = TextLayer::layer();
  t->setName(name);
  t->setString(string);
  t->setFont(kFont);
  t->setFontSize(size);
  t->setForegroundColor(Qt::white);
  t->setAlignmentMode(alignment);
  t->setContentsScale(backingScale());
  return t;
}

// The thumbnail downloads of a list's tiles end: the tiles are going, and no answer would be shown.
void cancelThumbnails(const LayerPtr& list) {
  if (!list) return;
  for (const LayerPtr& tile : list->sublayers()) cancelImageRequestOperation(tile->layerValue(kThumb));
}

void replaceSublayers(const LayerPtr& layer, const std::vector<LayerPtr>& sublayers) {
  const std::vector<LayerPtr> old = layer->sublayers();
  for (const LayerPtr& l : old) l->removeFromSuperlayer();
  for (const LayerPtr& l : sublayers) layer->addSublayer(l);
  layer->setNeedsLayout();
}

int digits(quint64 n) {
  int d = 1;
  while (n >= 10) {
    n /= 10;
    ++d;
  }
  return d;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------------
// Construction

std::shared_ptr<OXEpisodesMenuLayer> OXEpisodesMenuLayer::initWithShow(const std::shared_ptr<OXShow>& show,
                                                                        bool streaming, OXLibrary* library) {
  std::shared_ptr<OXEpisodesMenuLayer> menu(new OXEpisodesMenuLayer);
  menu->library_ = library ? library : OXLibrary::shareLibrary();
  menu->episodeList_ = streaming ? menu->library_->episodesToStreams() : menu->library_->episodeList();
  menu->show_ = show;
  menu->seasonArray_ = menu->buildSeasonArray();

  const double W = screen().width(), H = screen().height();
  Transaction::begin();
  Transaction::setDisableActions(true);
  menu->setName(QStringLiteral("seasonsBaseLayer"));
  menu->setLayoutManager(ConstraintLayoutManager::layoutManager());
  menu->setZPosition(5);
  menu->setFrame(QRectF(0, 0, W, 0.34 * H));
  menu->setMasksToBounds(true);
  const std::pair<QString, Place> seasons[] = {{kCurrent, Place::Current}, {kNext, Place::Next},
                                               {kPrevious, Place::Previous}};
  for (const auto& [key, where] : seasons) {
    LayerPtr season = Layer::layer();
    season->setName(key);
    season->setLayoutManager(ConstraintLayoutManager::layoutManager());
    season->setZPosition(10);
    place(season, where);
    menu->addSublayer(season);
    menu->setValue(key, QVariant::fromValue(season));
    menu->createBasicLayers(season);
  }
  menu->setupEpisodes();
  Transaction::commit();
  return menu;
}

OXEpisodesMenuLayer::~OXEpisodesMenuLayer() {
  // A menu that goes leaves no download behind it; a slow thumbnail server would hold the shared queue.
  for (const QString& key : {kPrevious, kCurrent, kNext}) cancelThumbnails(listOf(seasonLayer(key)));
}

void OXEpisodesMenuLayer::createBasicLayers(const LayerPtr& seasonLayer) {
  if (!seasonLayer) return;
  const double H = screen().height();
  auto title = text(QStringLiteral("title_tvshow"), QString(), 0.038 * H, TextAlignment::Center);
  title->setZPosition(10);
  constrain(title, A::MidX, kSuper, A::MidX);
  constrain(title, A::MaxY, kSuper, A::MaxY, -0.004 * H);
  seasonLayer->addSublayer(title);
  seasonLayer->setValue(kTitle, QVariant::fromValue(LayerPtr(title)));

  LayerPtr list = Layer::layer();
  list->setLayoutManager(OXEpisodeLayoutManager::layoutManager());
  list->setZPosition(1);
  constrain(list, A::MinX, kSuper, A::MinX);
  constrain(list, A::Width, kSuper, A::Width);
  constrain(list, A::Height, kSuper, A::Height);
  constrain(list, A::MaxY, kSuper, A::MaxY, 0.025 * H);
  seasonLayer->addSublayer(list);
  seasonLayer->setValue(kList, QVariant::fromValue(list));
}

void OXEpisodesMenuLayer::setupEpisodes() {
  const quint64 start = setCurrentEpisodeAndSeason();
  const qint64 p = currentSeasonIndex_;
  const qint64 last = qint64(seasonArray_.size()) - 1;
  if (p > 0) {
    LayerPtr previous = seasonLayer(kPrevious);
    titleOf(previous)->setString(seasonTitle(p - 1));
    fade(previous, 0);
    fill(previous, p - 1);
  }
  if (p < last) {
    LayerPtr next = seasonLayer(kNext);
    titleOf(next)->setString(seasonTitle(p + 1));
    fade(next, 0);
    fill(next, p + 1);
  }
  LayerPtr current = seasonLayer(kCurrent);
  if (!seasonArray_.isEmpty()) titleOf(current)->setString(seasonTitle(p));
  fill(current, p);
  setSelectedIndex(start);
  updateImages();
}

// ---------------------------------------------------------------------------------------------------------------
// Tiles

QString OXEpisodesMenuLayer::tileTitle(const QString& title) {
  return title.size() > kLongestTitle ? title.left(kLongestTitle) + QStringLiteral("...") : title;
}

quint64 OXEpisodesMenuLayer::watchedMark(float ratio) {
  if (std::isnan(ratio)) return 0;
  // Half away from zero in single precision; a stored ratio outside 0..1 still names one of the nine marks.
  return quint64(std::clamp(std::round(ratio * 8.0f), 0.0f, 8.0f));
}

QImage OXEpisodesMenuLayer::watchedMarkImage(float ratio) {
  return imageNamed(QStringLiteral("%1P").arg(watchedMark(ratio)));
}

std::vector<LayerPtr> OXEpisodesMenuLayer::layersForSeason(quint64 season) const {
  std::vector<LayerPtr> tiles;
  if (!seasonArray_.contains(season)) return tiles;
  for (const auto& episode : episodesForSeason(season)) tiles.push_back(tile(*episode));
  return tiles;
}

LayerPtr OXEpisodesMenuLayer::tile(const OXEpisode& episode) const {
  const double H = screen().height();
  const QRectF frame(0, 0, 0.4 * H, 0.224 * H);
  LayerPtr tile = Layer::layer();
  tile->setLayoutManager(ConstraintLayoutManager::layoutManager());
  tile->setFrame(frame);
  tile->setZPosition(10);
  tile->setContentsGravity(Gravity::ResizeAspect);
  // The empty frame shows until the thumbnail arrives.
  tile->setContents(imageNamed(QStringLiteral("ShowsDetailViewEmptyChapter.png")));

  LayerPtr thumb = Layer::layer();
  thumb->setFrame(frame);
  thumb->setZPosition(10);
  thumb->setContentsGravity(Gravity::ResizeAspectFill);
  thumb->setMasksToBounds(true);
  constrain(thumb, A::MidX, kSuper, A::MidX);
  constrain(thumb, A::MidY, kSuper, A::MidY);
  thumb->setValue(QStringLiteral("isDefaultImage"), true);
  thumb->setValue(QStringLiteral("imageThumb"), episode.imageThumb());

  auto title = text(QStringLiteral("frameText"), tileTitle(episode.title()), 0.032 * H, TextAlignment::Left);
  title->setZPosition(12);
  constrain(title, A::MinX, kSuper, A::MinX, 0.018 * H);
  constrain(title, A::MinY, kSuper, A::MinY, 0.008 * H);

  const double side = 0.27 * frame.height();
  LayerPtr circle = Layer::layer();
  circle->setFrame(QRectF(0, 0, side, side));
  circle->setZPosition(10);
  constrain(circle, A::MidX, kNumber, A::MidX);
  constrain(circle, A::MidY, kNumber, A::MidY);
  circle->setContents(watchedMarkImage(ratioOf(episode)));
  circle->setOpacity(0.8);

  const quint64 number = episode.episodeNumber();
  const int n = digits(number);
  const double inset = n < 2 ? 0.04 : 0.04 - 0.005 * n;
  auto label = text(kNumber, QString::number(number), 0.034 * H, TextAlignment::Center);
  label->setZPosition(14);
  constrain(label, A::MinX, kSuper, A::MinX, inset * H);
  constrain(label, A::MaxY, kSuper, A::MaxY, -0.025 * H);

  for (const LayerPtr& l : std::initializer_list<LayerPtr>{thumb, title, circle, label}) tile->addSublayer(l);
  tile->setValue(kThumb, QVariant::fromValue(thumb));
  tile->setValue(kCircle, QVariant::fromValue(circle));
  return tile;
}

void OXEpisodesMenuLayer::updateImages() {
  LayerPtr list = listOf(seasonLayer(kCurrent));
  if (!list) return;
  const qint64 selected = selectedIndex();
  const qint64 count = qint64(list->sublayers().size());
  for (qint64 i = std::max<qint64>(0, selected - 5); i <= selected + 4 && i < count; ++i) {
    LayerPtr thumb = list->sublayers()[std::size_t(i)]->layerValue(kThumb);
    if (!thumb) continue;
    const QString url = thumb->value(QStringLiteral("imageThumb")).toString();
    if (url.isEmpty() || !thumb->value(QStringLiteral("isDefaultImage")).toBool()) continue;
    setImageWithURLRequest(thumb, AFImageLoader::imageRequest(QUrl(url), OXDownloadBounds::kThumbnail), QImage(),
                           nullptr, nullptr, OXDownloadBounds::kThumbnailPixels);
    // Asked for once, whatever the answer.
    thumb->setValue(QStringLiteral("isDefaultImage"), false);
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Selection

qint64 OXEpisodesMenuLayer::selectedIndex() const {
  LayerPtr list = listOf(seasonLayer(kCurrent));
  return list ? list->value(kSelected).toLongLong() : 0;
}

void OXEpisodesMenuLayer::setSelectedIndex(quint64 index) {
  LayerPtr list = listOf(seasonLayer(kCurrent));
  if (!list) return;
  // 0 always resets a list, also an empty one.
  if (index > 0 && index >= quint64(list->sublayers().size())) return;
  list->setValue(kSelected, qint64(index));
  list->setNeedsLayout();
}

void OXEpisodesMenuLayer::previousEpisode() {
  const qint64 selected = selectedIndex();
  if (selected <= 0) return;
  setSelectedIndex(quint64(selected - 1));
  updateImages();
}

void OXEpisodesMenuLayer::nextEpisode() {
  LayerPtr list = listOf(seasonLayer(kCurrent));
  const qint64 selected = selectedIndex();
  if (!list || selected + 1 >= qint64(list->sublayers().size())) return;
  setSelectedIndex(quint64(selected + 1));
  updateImages();
}

std::shared_ptr<OXEpisode> OXEpisodesMenuLayer::episodeSelected() const {
  if (seasonArray_.isEmpty()) return nullptr;
  const OXLibrary::EpisodeList episodes = episodesForSeason(currentSeason());
  const qint64 selected = selectedIndex();
  if (selected < 0 || selected >= episodes.size()) return nullptr;
  return episodes.at(selected);
}

// ---------------------------------------------------------------------------------------------------------------
// Seasons

QString OXEpisodesMenuLayer::seasonTitle(qint64 seasonIndex) const {
  if (seasonIndex < 0 || seasonIndex >= seasonArray_.size())
    return QCoreApplication::translate("OXEpisodesMenuLayer", "Season -");
  return QCoreApplication::translate("OXEpisodesMenuLayer", "Season %1").arg(seasonArray_.at(seasonIndex));
}

void OXEpisodesMenuLayer::fill(const LayerPtr& seasonLayer, qint64 seasonIndex) const {
  LayerPtr list = listOf(seasonLayer);
  if (!list) return;
  const bool valid = seasonIndex >= 0 && seasonIndex < seasonArray_.size();
  cancelThumbnails(list);
  replaceSublayers(list, valid ? layersForSeason(seasonArray_.at(seasonIndex)) : std::vector<LayerPtr>{});
}

void OXEpisodesMenuLayer::place(const LayerPtr& seasonLayer, Place where) {
  const double W = screen().width(), H = screen().height();
  double y = 0.04;
  switch (where) {
    case Place::Previous: y = 0.34; break;
    case Place::Current: y = 0.04; break;
    case Place::Next: y = -0.26; break;
    case Place::Parked: y = -0.52; break;
  }
  seasonLayer->setFrame(QRectF(0, y * H, W, 0.3 * H));
}

void OXEpisodesMenuLayer::fade(const LayerPtr& seasonLayer, double opacity) {
  if (auto title = titleOf(seasonLayer)) title->setOpacity(opacity);
  if (LayerPtr list = listOf(seasonLayer)) list->setOpacity(opacity);
}

void OXEpisodesMenuLayer::previousSeason() {
  if (currentSeasonIndex_ <= 0 || changingSeason_) return;
  changingSeason_ = true;
  LayerPtr P = seasonLayer(kPrevious), N = seasonLayer(kNext), C = seasonLayer(kCurrent);
  std::weak_ptr<OXEpisodesMenuLayer> weak = weakSelf();
  Transaction::begin();
  Transaction::setAnimationDuration(kSlide);
  Transaction::setAnimationTimingFunction(TimingFunction::easeOut());
  Transaction::setCompletionBlock([weak, P, N, C] {
    auto self = weak.lock();
    if (!self) return;
    Transaction::begin();
    Transaction::setDisableActions(true);
    titleOf(N)->setString(self->seasonTitle(self->currentSeasonIndex_ - 2));
    fade(N, 0);
    place(N, Place::Previous);
    Transaction::commit();
    self->endSlide(-1, N, N, P, C);
  });
  place(N, Place::Parked);
  place(P, Place::Current);
  place(C, Place::Next);
  fade(C, 0);
  fade(P, 1);
  Transaction::commit();
}

void OXEpisodesMenuLayer::endSlide(int step, const LayerPtr& recycled, const LayerPtr& previous,
                                   const LayerPtr& current, const LayerPtr& next) {
  setSelectedIndex(0);  // the list that left the middle starts again at its first tile
  currentSeasonIndex_ += step;
  fill(recycled, currentSeasonIndex_ + step);
  setValue(kPrevious, QVariant::fromValue(previous));
  setValue(kCurrent, QVariant::fromValue(current));
  setValue(kNext, QVariant::fromValue(next));
  updateImages();
  changingSeason_ = false;
}

void OXEpisodesMenuLayer::nextSeason() {
  if (currentSeasonIndex_ + 1 >= seasonArray_.size() || changingSeason_) return;
  changingSeason_ = true;
  LayerPtr P = seasonLayer(kPrevious), N = seasonLayer(kNext), C = seasonLayer(kCurrent);
  Transaction::begin();
  Transaction::setDisableActions(true);
  titleOf(P)->setString(seasonTitle(currentSeasonIndex_ + 2));
  fade(P, 0);
  place(P, Place::Parked);
  Transaction::commit();
  std::weak_ptr<OXEpisodesMenuLayer> weak = weakSelf();
  performBlockAfterDelay(
      [weak, P, N, C] {
        auto self = weak.lock();
        if (!self) return;
        Transaction::begin();
        Transaction::setAnimationDuration(kSlide);
        Transaction::setAnimationTimingFunction(TimingFunction::easeOut());
        Transaction::setCompletionBlock([weak, P, N, C] {
          auto self = weak.lock();
          if (!self) return;
          self->endSlide(+1, P, C, N, P);
        });
        place(C, Place::Previous);
        place(N, Place::Current);
        place(P, Place::Next);
        fade(C, 0);
        fade(N, 1);
        Transaction::commit();
      },
      0.01);
}

// ---------------------------------------------------------------------------------------------------------------
// Watched marks

void OXEpisodesMenuLayer::setRatioToEpisodeSelected(float ratio) {
  std::weak_ptr<OXEpisodesMenuLayer> weak = weakSelf();
  dispatchMain([weak, ratio] {
    auto self = weak.lock();
    LayerPtr list = self ? listOf(self->seasonLayer(kCurrent)) : nullptr;
    if (!list) return;
    const qint64 selected = self->selectedIndex();
    if (selected < 0 || selected >= qint64(list->sublayers().size())) return;
    if (LayerPtr circle = list->sublayers()[std::size_t(selected)]->layerValue(kCircle)) {
      circle->setContents(watchedMarkImage(ratio));
      circle->setNeedsLayout();
    }
  });
}

void OXEpisodesMenuLayer::markLikeSeenEpisodeSelectedAndPrevious() {
  std::weak_ptr<OXEpisodesMenuLayer> weak = weakSelf();
  dispatchMain([weak] {
    auto self = weak.lock();
    if (!self) return;
    const QImage seen = watchedMarkImage(1.0f);
    auto mark = [&](const LayerPtr& list, qint64 upTo) {
      if (!list) return;
      for (qint64 i = 0; i <= upTo && i < qint64(list->sublayers().size()); ++i) {
        if (LayerPtr circle = list->sublayers()[std::size_t(i)]->layerValue(kCircle)) {
          circle->setContents(seen);
          circle->setNeedsLayout();
        }
      }
    };
    if (self->currentSeasonIndex_ > 0) mark(listOf(self->seasonLayer(kPrevious)), std::numeric_limits<qint64>::max());
    mark(listOf(self->seasonLayer(kCurrent)), self->selectedIndex());
  });
}

// ---------------------------------------------------------------------------------------------------------------
// The show's episodes and where to start

float OXEpisodesMenuLayer::ratioOf(const OXEpisode& episode) const {
  return library_ ? library_->ratioForEpisodeID(episode.episodeID()) : 0.0f;
}

OXLibrary::EpisodeList OXEpisodesMenuLayer::showEpisodes() const {
  OXLibrary::EpisodeList out;
  if (!show_) return out;
  for (const auto& e : episodeList_)
    if (e && e->showID() == show_->showID()) out << e;
  return out;
}

QList<quint64> OXEpisodesMenuLayer::buildSeasonArray() const {
  QList<quint64> seasons;
  for (const auto& e : showEpisodes())
    if (!seasons.contains(e->seasonNumber())) seasons << e->seasonNumber();
  std::sort(seasons.begin(), seasons.end());
  return seasons;
}

OXLibrary::EpisodeList OXEpisodesMenuLayer::episodesForSeason(quint64 season) const {
  OXLibrary::EpisodeList out;
  for (const auto& e : showEpisodes())
    if (e->seasonNumber() == season) out << e;
  std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
    return a->episodeNumber() < b->episodeNumber();
  });
  return out;
}

quint64 OXEpisodesMenuLayer::currentSeason() const { return seasonArray_.value(currentSeasonIndex_, 0); }

quint64 OXEpisodesMenuLayer::lastSeenSeasonIndex() const {
  qint64 latest = -1;
  for (const auto& e : showEpisodes())
    if (ratioOf(*e) != 0.0f) latest = std::max(latest, qint64(e->seasonNumber()));
  if (latest < 0) return 0;
  return quint64(std::max<qsizetype>(0, seasonArray_.indexOf(quint64(latest))));
}

quint64 OXEpisodesMenuLayer::setCurrentEpisodeAndSeason() {
  currentSeasonIndex_ = qint64(lastSeenSeasonIndex());
  const OXLibrary::EpisodeList episodes = episodesForSeason(currentSeason());
  qsizetype r = 0;
  for (qsizetype k = 0; k < episodes.size(); ++k) {
    const float q = ratioOf(*episodes.at(k));
    if (q == 0.0f || k <= r) continue;
    const bool last = k == episodes.size() - 1;
    if (double(q) > kFinished && last) {
      if (currentSeasonIndex_ + 1 < seasonArray_.size()) {
        currentSeasonIndex_ += 1;
        r = 0;
      } else {
        r = k;
      }
    } else if (double(q) > kFinished) {
      r = k + 1;
    } else {
      r = k;
    }
  }
  return quint64(r);
}

// ---------------------------------------------------------------------------------------------------------------

QVariantMap OXEpisodesMenuLayer::episodeForCode(const QString& code) {
  HttpRequest request;
  request.url = OXServiceHosts::urlFromEscapedText(OXServiceHosts::baseURL(OXService::Search).toUtf8() +
                                                   "/2013-01-01/search?q=" + OXServiceHosts::escapeComponent(code) +
                                                   "&return=_all_fields&fq=type:'e'");
  if (request.url.isEmpty()) return {};
  request.connectTimeoutMs = kSearchTimeoutMs;
  request.totalTimeoutMs = kSearchTimeoutMs;
  request.maxBytes = OXDownloadBounds::kSearchAnswer;
  const HttpResponse answer = httpPerform(request);
  if (!answer.transportOk) {
    log(QStringLiteral("episodeForCode: %1").arg(answer.error));
    return {};
  }
  const QVariant json = jsonObject(answer.body);
  const QVariantList hits = json.toMap().value(QStringLiteral("hits")).toMap().value(QStringLiteral("hit")).toList();
  return hits.isEmpty() ? QVariantMap() : hits.constFirst().toMap();
}

// ---------------------------------------------------------------------------------------------------------------

LayerPtr OXEpisodesMenuLayer::seasonLayer(const QString& key) const { return layerValue(key); }

LayerPtr OXEpisodesMenuLayer::listOf(const LayerPtr& seasonLayer) {
  return seasonLayer ? seasonLayer->layerValue(kList) : nullptr;
}

std::shared_ptr<TextLayer> OXEpisodesMenuLayer::titleOf(const LayerPtr& seasonLayer) {
  return seasonLayer ? std::dynamic_pointer_cast<TextLayer>(seasonLayer->layerValue(kTitle)) : nullptr;
}

std::weak_ptr<OXEpisodesMenuLayer> OXEpisodesMenuLayer::weakSelf() {
  return std::static_pointer_cast<OXEpisodesMenuLayer>(shared_from_this());
}
