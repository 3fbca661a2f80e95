// The movie browser's layers, selection, footer, preview, backdrop and clock.
#include "app/MoviesView.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cmath>

#include "app/CALayer_Transitions.h"
#include "app/HomeSectionListView.h"
#include "app/HomeView.h"
#include "app/MyLayoutManager.h"
#include "core/OXApplicationSupport.h"
#include "core/OXLibrary.h"
#include "core/OXPreferencesValues.h"
#include "platform/foundation/ImageDecoder.h"
#include "platform/foundation/Log.h"
#include "platform/layers/CALayer_AFNetworking.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Transaction.h"
#include "platform/ui/Images.h"
#include "playback/NSCursor_Hide.h"

using ox::Constraint;
using ox::ConstraintAttribute;
using ox::LayerPtr;
using ox::Transaction;

namespace {

const QString kFont = QStringLiteral("oxfont-Regular");
const QString kGlyphFont = QStringLiteral("OmbrixeGlyph");

void centreOnSuperlayer(ox::Layer& l) {
  l.addConstraint(Constraint(ConstraintAttribute::MidX, "superlayer", ConstraintAttribute::MidX));
  l.addConstraint(Constraint(ConstraintAttribute::MidY, "superlayer", ConstraintAttribute::MidY));
}

std::shared_ptr<ox::TextLayer> textLayer(const QString& font, double size, ox::TextAlignment alignment) {
  auto t = ox::TextLayer::layer();
  t->setFont(font);
  t->setFontSize(size);
  t->setAlignmentMode(alignment);
  t->setContentsScale(HomeSectionListView::backingScaleFactor());
  return t;
}

// A plain layer over the whole view, laying out its sublayers by their constraints.
LayerPtr screenLayer(const QRectF& frame, double z) {
  LayerPtr l = ox::Layer::layer();
  l->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  l->setFrame(frame);
  l->setZPosition(z);
  centreOnSuperlayer(*l);
  return l;
}

// attribute = the superlayer's same attribute + offset.
void pin(ox::Layer& l, ConstraintAttribute attribute, double offset) {
  l.addConstraint(Constraint(attribute, "superlayer", attribute, 1.0, offset));
}

void shadowed(ox::TextLayer& t) {
  t.setShadowColor(Qt::black);
  t.setShadowRadius(2);
  t.setShadowOpacity(1);
  t.setShadowOffset(QSizeF(0, 0));
}

// A picture drawn for a rectangle: the layer shows it at that size, whatever size it was made at.
QImage renderedFor(const QImage& image, const QSizeF& size) {
  if (image.isNull() || size.isEmpty()) return image;
  const QSize pixels = size.toSize();
  return image.size() == pixels ? image : image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QRectF screenFrame() { return OXPreferencesValues::sharePreferences()->mainScreenFrame(); }

// Where the helper keeps its copy of an address's file in one of the library's cache folders; empty for an address
// that names no safe file.
QString cachedFile(const QString& folder, const QUrl& address) {
  const QString name = OXApplicationSupport::cacheFileNameForURL(address);
  return name.isEmpty() ? QString() : OXLibrary::shareLibrary()->pathWithFolder(folder, name);
}

}  // namespace

MoviesView::MoviesView(const QRectF& frame)
    : OXSectionView(frame), imageQueue_(std::make_unique<ox::OperationQueue>(2)) {
  NSCursor_Hide::hideCursor();
  layer();
}

MoviesView::~MoviesView() {
  stopTimers();
  stopObservingExit();
  if (panelToken_) ox::NotificationCenter::defaultCenter().removeObserver(panelToken_);
  cancelImageWork();
  // Never waits here: a poster server that does not answer would freeze the whole program.
  ox::OperationQueue::dispose(std::move(imageQueue_));
}

void MoviesView::cancelImageWork() {
  imageCancel_->cancel();
  if (imageQueue_) imageQueue_->cancelAllOperations();
  if (movieBackdrop_) ox::cancelImageRequestOperation(movieBackdrop_);
}

LayerPtr MoviesView::makeBackingLayer() {
  LayerPtr l = ox::Layer::layer();
  l->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  return l;
}

std::shared_ptr<MoviesView> MoviesView::self() { return std::static_pointer_cast<MoviesView>(shared_from_this()); }

void MoviesView::setupLayers() {
  const double H = screenFrame().height();
  // Home registers the text face before any section opens; a section shown on its own needs it as much.
  loadLocalFonts(QStringLiteral("oxfont"));

  headerBaseLayer_ = screenLayer(frame(), 2);
  layer()->addSublayer(headerBaseLayer_);

  titleSectionLayer_ = textLayer(kFont, std::ceil(float(H / 27)), ox::TextAlignment::Left);
  titleSectionLayer_->setName("titulo_otherlayer");
  titleSectionLayer_->setString(QStringLiteral("0 %1").arg(sectionName()));
  titleSectionLayer_->setZPosition(1);
  shadowed(*titleSectionLayer_);
  pin(*titleSectionLayer_, ConstraintAttribute::MaxX, -44);
  pin(*titleSectionLayer_, ConstraintAttribute::MaxY, -34);
  headerBaseLayer_->addSublayer(titleSectionLayer_);

  timeLayer_ = textLayer(kFont, std::ceil(float(H / 27)), ox::TextAlignment::Right);
  timeLayer_->setName("time_otherlayer");
  timeLayer_->setString(HomeView::clockText(QDateTime::currentDateTime()));
  shadowed(*timeLayer_);
  pin(*timeLayer_, ConstraintAttribute::MinX, 44);
  pin(*timeLayer_, ConstraintAttribute::MaxY, -26);
  headerBaseLayer_->addSublayer(timeLayer_);

  setupMovie();
  getLibrary();
}

void MoviesView::setupMovie() {
  const QRectF screen = screenFrame();
  const double W = screen.width(), H = screen.height();
  posterWidth_ = float(std::round(W * 0.209375 * 0.8));
  posterHeight_ = float(std::round(W * 0.3104166666666667 * 0.8));

  movieBackdrop_ = screenLayer(frame(), 0);
  movieBackdrop_->setContentsGravity(ox::Gravity::ResizeAspectFill);
  layer()->addSublayer(movieBackdrop_);
  LayerPtr ground = ox::Layer::layer();
  ground->setFrame(frame());
  ground->setContents(renderedFor(ox::imageNamed(QStringLiteral("bottomGround.png")), QSizeF(W, 0.814 * H)));
  movieBackdrop_->addSublayer(ground);

  coverflowLayer_ = ox::Layer::layer();
  coverflowLayer_->setZPosition(0.5);
  coverflowLayer_->setLayoutManager(MyLayoutManager::layoutManagerWithImageSize(QSizeF(posterWidth_, posterHeight_)));
  pin(*coverflowLayer_, ConstraintAttribute::MidX, 0);
  pin(*coverflowLayer_, ConstraintAttribute::MinY, 0.374 * H);
  setSelectedIndex(-1);
  layer()->addSublayer(coverflowLayer_);

  footerBaseLayer_ = screenLayer(frame(), 1);
  layer()->addSublayer(footerBaseLayer_);
  const auto footerLine = [&](const QString& font, double size, ox::TextAlignment alignment, double z, double opacity) {
    auto t = textLayer(font, size, alignment);
    t->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
    t->setZPosition(z);
    t->setOpacity(opacity);
    footerBaseLayer_->addSublayer(t);
    return t;
  };
  const auto placeAbove = [](ox::TextLayer& t, double y) {
    pin(t, ConstraintAttribute::MidX, 0);
    pin(t, ConstraintAttribute::MinY, y);
  };
  titleSelectedMovie_ = footerLine(kFont, std::ceil(float(H / 20)), ox::TextAlignment::Center, 1, 1);
  placeAbove(*titleSelectedMovie_, 0.078 * H);
  loadLocalFonts(QStringLiteral("ombrixeglyph"));
  ratingMovieBack_ = footerLine(kGlyphFont, std::ceil(float(0.068 * H)), ox::TextAlignment::Left, 3, 0);
  ratingMovieBack_->setName("ratingBack");
  ratingMovieBack_->setString(QStringLiteral("11111"));
  ratingMovieBack_->setForegroundColor(QColor::fromRgbF(1, 1, 1, 0.5f));
  placeAbove(*ratingMovieBack_, 0.05 * H);
  ratingMovie_ = footerLine(kGlyphFont, std::ceil(float(0.068 * H)), ox::TextAlignment::Left, 4, 0);
  ratingMovie_->setString(selectedCoverRating());
  ratingMovie_->addConstraint(Constraint(ConstraintAttribute::MinX, "ratingBack", ConstraintAttribute::MinX));
  ratingMovie_->addConstraint(Constraint(ConstraintAttribute::MidY, "ratingBack", ConstraintAttribute::MidY));
  genreMovie_ = footerLine(kFont, std::ceil(float(0.0282 * H)), ox::TextAlignment::Left, 1, 1);
  placeAbove(*genreMovie_, 0.042 * H);
  durationMovie_ = footerLine(kFont, std::ceil(float(0.0282 * H)), ox::TextAlignment::Left, 1, 0);
  placeAbove(*durationMovie_, 0.042 * H);

  splashScreen_ = screenLayer(frame(), 14);
  splashScreen_->setName("splashScreenBackground");
  splashScreen_->setOpacity(0);
  splashScreen_->setBackgroundColor(Qt::black);
  layer()->addSublayer(splashScreen_);
  LayerPtr logo = ox::Layer::layer();
  logo->setName("splashScreen");
  logo->setLayoutManager(ox::ConstraintLayoutManager::layoutManager());
  logo->setFrame(QRectF(0, 0, 173, 173));
  logo->setZPosition(14);
  logo->setBackgroundColor(Qt::black);
  logo->setContentsGravity(ox::Gravity::Center);
  logo->setContents(renderedFor(ox::imageNamed(QStringLiteral("ombrix_logo.png")), QSizeF(173, 173)));
  // Screens less than 1080 points high show the logo smaller.
  const double scale = H * 173 / 1080 < 173 ? H / 1080 : 1.0;
  logo->setTransform(ox::Transform3D::makeScale(scale, scale, scale));
  centreOnSuperlayer(*logo);
  splashScreen_->addSublayer(logo);
  textLoadingPlayer_ = textLayer(kFont, std::ceil(float(0.0282 * H)), ox::TextAlignment::Left);
  textLoadingPlayer_->setForegroundColor(Qt::black);
  textLoadingPlayer_->setZPosition(1);
  textLoadingPlayer_->setString(QStringLiteral("Connected to 0 peers"));
  // Under the logo (the layer named "splashScreen"), not under the screen's lower edge.
  textLoadingPlayer_->addConstraint(Constraint(ConstraintAttribute::MidX, "splashScreen", ConstraintAttribute::MidX));
  textLoadingPlayer_->addConstraint(
      Constraint(ConstraintAttribute::MinY, "splashScreen", ConstraintAttribute::MinY, 1.0, -0.08 * H));
  splashScreen_->addSublayer(textLoadingPlayer_);

  if (numberOfCovers() != 0) {
    titleSelectedMovie_->setString(truncate(selectedCoverTitle(), kTitleLength));
    genreMovie_->setString(selectedCoverGenre());
    durationMovie_->setString(QStringLiteral("%1 Minutes").arg(selectedCoverRuntime()));
  }

  updateDate();
  scheduleFooterRotation();

  coverflowLayer_->setNeedsLayout();
  setAnimationToOpacity(coverflowLayer_, 1.0f, 0.4f);
}

void MoviesView::getLibrary() {
  for (const ox::CodingPtr& record : contentList()) {
    LayerPtr poster = newPosterLayer();
    poster->setValue("modelObject", QVariant::fromValue(record));
    poster->setValue("isEnable", true);
    coverflowLayer_->addSublayer(poster);
  }
  buildFilterMenu();
  titleSectionLayer_->setString(QStringLiteral("%1 %2").arg(numberOfCovers()).arg(sectionName()));
  if (numberOfCovers() != 0) {
    setSelectedIndex(0);
    titleMovieAppear();
    updateBackdrops();
  }
  titleSectionLayer_->setNeedsLayout();
  coverflowLayer_->setNeedsLayout();
  layer()->setNeedsLayout();
  keepPicturesNearSelection();
}

QString MoviesView::sectionName() const { return QStringLiteral("Movies"); }

QList<ox::CodingPtr> MoviesView::contentList() const { return sortedByTitle(OXLibrary::shareLibrary()->movieList()); }

// --- selection

void MoviesView::setSelectedIndex(qint64 index) {
  coverflowLayer_->setValue("selectedIndex", index);
  coverflowLayer_->setNeedsLayout();
  keepPicturesNearSelection();
}

quint64 MoviesView::selectedIndex() const {
  return coverflowLayer_ ? quint64(coverflowLayer_->value("selectedIndex").toLongLong()) : quint64(-1);
}

quint64 MoviesView::numberOfCovers() const { return enableMovies_.posters.size(); }

ox::CodingPtr MoviesView::objectSelected() const {
  if (!coverflowLayer_) return nullptr;
  const qint64 index = coverflowLayer_->value("selectedIndex").toLongLong();
  if (index < 0 || quint64(index) >= numberOfCovers()) return nullptr;
  return enableMovies_.posters[std::size_t(index)]->value("modelObject").value<ox::CodingPtr>();
}

const OXMediaFields* MoviesView::fieldsOf(const ox::CodingPtr& record) {
  return dynamic_cast<const OXMediaFields*>(record.get());
}

QString MoviesView::selectedCoverTitle() const {
  const OXMediaFields* f = fieldsOf(objectSelected());
  return f ? f->title() : QString();
}

QString MoviesView::ratingStars(float rating) {
  if (!std::isfinite(rating) || rating < 0) return QStringLiteral(" ");
  static const char* const kStars[] = {" ", "2", "1", "12", "11", "112", "111", "1112", "1111", "11112"};
  const float whole = std::trunc(rating);
  return whole >= 10 ? QStringLiteral("11111") : QString::fromLatin1(kStars[int(whole)]);
}

QString MoviesView::selectedCoverRating() const {
  const OXMediaFields* f = fieldsOf(objectSelected());
  return ratingStars(f ? f->rating() : 0);
}

QUrl MoviesView::selectedCoverMusic() const {
  const OXMediaFields* f = fieldsOf(objectSelected());
  return f ? f->soundtrack() : QUrl();
}

quint64 MoviesView::selectedCoverRuntime() const {
  const OXMediaFields* f = fieldsOf(objectSelected());
  return f ? f->runtime() : 0;
}

QString MoviesView::selectedCoverGenre() const {
  const OXMediaFields* f = fieldsOf(objectSelected());
  if (!f) return QString();
  QStringList genres = f->genres();
  if (genres.size() >= 4) genres = genres.mid(0, 3);
  return genres.join(QStringLiteral(", "));
}

QString MoviesView::selectedCoverFilePath() const {
  const auto movie = std::dynamic_pointer_cast<OXMovie>(objectSelected());
  const auto file = movie ? movie->file() : nullptr;
  return file ? file->filePath() : QString();
}

QString MoviesView::objectID() const {
  const auto movie = std::dynamic_pointer_cast<OXMovie>(objectSelected());
  return movie ? movie->imdb() : QString();
}

float MoviesView::selectedCoverPercentage() const {
  const QString code = objectID();
  return code.isEmpty() ? 0.0f : OXLibrary::shareLibrary()->ratioForIMDB(code);
}

void MoviesView::coverUp() {
  const quint64 index = selectedIndex();
  if (index + 1 < numberOfCovers()) setSelectedIndex(qint64(index + 1));
}

void MoviesView::coverDown() {
  const quint64 index = selectedIndex();
  if (numberOfCovers() != 0 && index != 0 && index < numberOfCovers()) setSelectedIndex(qint64(index - 1));
}

void MoviesView::titleMovieAppear() {
  if (numberOfCovers() == 0) return;
  startMusic();
  Transaction::begin();
  Transaction::setDisableActions(true);
  const QString title = truncate(selectedCoverTitle(), kTitleLength);
  if (title.isEmpty()) {
    Transaction::commit();
    return;
  }
  titleSelectedMovie_->setString(title);
  genreMovie_->setString(selectedCoverGenre());
  ratingMovie_->setString(selectedCoverRating());
  const quint64 runtime = selectedCoverRuntime();
  durationMovie_->setString(runtime ? QStringLiteral("%1 Minutes").arg(runtime) : QStringLiteral("- Minutes"));
  Transaction::commit();
  footerBaseLayer_->setOpacity(1);
  updateBackdrops();
}

void MoviesView::updateSubtitle() {
  if (!coverflowLayer_ || coverflowLayer_->sublayers().empty()) {
    if (footerBaseLayer_) footerBaseLayer_->setOpacity(0);
    return;
  }
  if (genreMovie_->opacity() == 1) {
    genreMovie_->setOpacity(0);
    ratingMovie_->setOpacity(1);
    ratingMovieBack_->setOpacity(1);
  } else if (ratingMovie_->opacity() == 1) {
    ratingMovie_->setOpacity(0);
    ratingMovieBack_->setOpacity(0);
    durationMovie_->setOpacity(1);
  } else {
    durationMovie_->setOpacity(0);
    genreMovie_->setOpacity(1);
  }
  titleSelectedMovie_->setOpacity(1);
}

void MoviesView::scheduleFooterRotation() {
  std::weak_ptr<MoviesView> weak = self();
  subtitleTimer_.start(kFooterPeriod, [weak] {
    if (auto s = weak.lock()) {
      s->updateSubtitle();
      s->scheduleFooterRotation();
    }
  });
}

QString MoviesView::truncate(const QString& text, quint64 length) {
  if (text.isNull()) return QString();
  if (quint64(text.size()) < length) return text;
  return text.left(qsizetype(length)) + QChar(0x2026);
}

void MoviesView::startMusic() {
  if (!OXLibrary::shareLibrary()->listenSoundtracks()) return;
  clearMusic();
  const QUrl music = selectedCoverMusic();
  if (music.isEmpty()) return;
  const QString path = cachedFile(QStringLiteral("soundtrack.preview"), music);
  // The preview is the helper's download; it is never fetched from here.
  if (path.isEmpty() || !QFileInfo(path).isFile()) return;
  player_ = ox::AVPlayer::playerWithURL(QUrl::fromLocalFile(path));
  if (!player_) {
    ox::log(QStringLiteral("Error loading music : %1 cannot be opened").arg(path));
    return;
  }
  QObject::connect(player_.get(), &ox::AVPlayer::failed, player_.get(),
                   [](const QString& error) { ox::log(QStringLiteral("Error loading music : %1").arg(error)); });
  player_->setVolume(0.1f);
  player_->setNumberOfLoops(-1);
  player_->play();
}

void MoviesView::clearMusic() {
  if (player_) player_->pause();
  player_.reset();
}

void MoviesView::updateBackdrops() {
  ox::cancelImageRequestOperation(movieBackdrop_);
  const OXMediaFields* f = fieldsOf(objectSelected());
  const QUrl address = f ? f->backdrops() : QUrl();
  const QString path = cachedFile(QStringLiteral("backdrops"), address);
  // Decoded on the main thread, so only within the decoder's bounds: a cached file that is not whole is fetched.
  const QImage cached = path.isEmpty() ? QImage() : ox::ImageDecoder::decodeFile(path);
  if (!cached.isNull()) {
    movieBackdrop_->setContents(renderedFor(cached, screenFrame().size()));
  } else {
    const QString wide = OXApplicationSupport::get1920ModeFromURL(address);
    if (!wide.isEmpty()) {
      ox::HttpRequest request = ox::AFImageLoader::imageRequest(QUrl(wide));
      // Another title's backdrop ends this download, and so does a view that leaves.
      request.cancel = imageCancel_;
      ox::setImageWithURLRequest(movieBackdrop_, request, QImage(), nullptr, nullptr);
    }
  }
  setAnimationToOpacity(movieBackdrop_, 1.0f, 0.6f);
}

void MoviesView::updateDate() {
  if (timeLayer_) {
    timeLayer_->setString(QString());
    timeLayer_->setString(HomeView::clockText(QDateTime::currentDateTime()));
  }
  std::weak_ptr<MoviesView> weak = self();
  dateTimer_.start(HomeView::secondsToNextTick(QTime::currentTime()), [weak] {
    if (auto s = weak.lock()) s->updateDate();
  });
}

bool MoviesView::loadLocalFonts(const QString& name) { return HomeView::loadLocalFonts(name); }

void MoviesView::stopTimers() {
  dateTimer_.cancel();
  subtitleTimer_.cancel();
  appearTimer_.cancel();
  remoteControlRepeatTimer_.cancel();
  clearMusic();
}

void MoviesView::viewDidMoveToWindow() {
  if (window()) {
    wasInWindow_ = true;
  } else if (wasInWindow_) {
    // Replaced: no preview, clock or poster work goes on behind the next section.
    stopTimers();
    cancelImageWork();
  }
}
