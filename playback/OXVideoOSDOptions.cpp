// The options panel of the on-screen display: the audio, subtitle and subtitle-delay rolls, their focus and
// selections, and the subtitles they apply (downloaded ones fetched on a queue and loaded back on the main thread).
#include <QTimer>
#include <cmath>

#include "core/OXApplicationSupport.h"
#include "core/OXLibrary.h"
#include "core/OXPreferencesValues.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/layers/LayoutManager.h"
#include "platform/layers/Transaction.h"
#include "platform/ui/Window.h"
#include "playback/OXSubtitleDownload.h"
#include "playback/OXVideoOSD.h"

using namespace ox;

namespace {

constexpr int kSubtitleRestMs = 1000;
const QColor kFirstRowColour = QColor::fromRgbF(0.1133f, 0.422f, 0.8086f, 1.0f);

const QString kIndex = QStringLiteral("index");
const QString kName = QStringLiteral("name");
const QString kUrl = QStringLiteral("url");
const QString kSelected = QStringLiteral("selectedIndex");
const QString kType = QStringLiteral("type");

qint64 selectedIndex(const LayerPtr& roll) { return roll ? roll->value(kSelected).toLongLong() : 0; }

// Subtitle downloads run here, so that a display that goes never waits for one.
OperationQueue& downloadQueue() {
  static OperationQueue* queue = new OperationQueue(2);
  return *queue;
}

QString cut(const QString& name) {
  const double W = OXPreferencesValues::sharePreferences()->mainScreenFrame().width();
  const auto longest = qsizetype(std::roundf(float(W * 0.2 / 20)));
  return name.size() > longest ? name.left(longest) : name;
}

QStringList enabledLanguages() {
  QStringList names;
  for (const QVariant& entry : OXLibrary::shareLibrary()->subtitleLanguages()) {
    const QVariantMap language = entry.toMap();
    if (language.value(QStringLiteral("enable")).toBool()) names << language.value(QStringLiteral("LanguageName")).toString();
  }
  return names;
}

std::unique_ptr<OXApplicationSupport> playerCache() {
  return OXApplicationSupport::initWithFolderName(QStringLiteral("Player"));
}

}  // namespace

void OXVideoOSD::createOptionsRoll(const QVariantList& subtitles) {
  subtitles_ = subtitles;
  auto player = vlcMediaPlayer();
  if (!player || !audioLayerContents_) return;
  player->audio()->setVolume(100);
  if (volumeBarBackground_)
    setVolumeBarWidth(player->audio()->volume() * volumeBarBackground_->bounds().width() * 0.01);

  audioTracks_.clear();
  const QList<int> audioIndexes = player->audioTrackIndexes();
  const QStringList audioNames = player->audioTrackNames();
  if (audioIndexes.size() == audioNames.size() && audioIndexes.size() >= 2) {
    // The first entry is the player's "off".
    for (qsizetype i = 1; i < audioIndexes.size(); ++i) audioTracks_ << QVariantMap{{kIndex, audioIndexes[i]}, {kName, audioNames[i]}};
  } else {
    audioTracks_ << QVariantMap{{kName, QStringLiteral("Disabled")}};
  }

  subtitlesTracks_.clear();
  const QStringList enabled = enabledLanguages();
  for (const QVariant& result : subtitles) {
    const QVariantMap r = result.toMap();
    const QString language = r.value(QStringLiteral("LanguageName")).toString();
    if (!enabled.contains(language)) continue;
    subtitlesTracks_ << QVariantMap{{kIndex, -2}, {kName, language}, {kUrl, r.value(QStringLiteral("ZipDownloadLink"))}};
  }
  const QList<int> subtitleIndexes = player->videoSubTitlesIndexes();
  const QStringList subtitleNames = player->videoSubTitlesNames();
  if (subtitleIndexes.size() == subtitleNames.size() && subtitleIndexes.size() >= 2) {
    for (qsizetype i = 0; i < subtitleIndexes.size(); ++i)
      if (subtitleIndexes[i] != -1) subtitlesTracks_.prepend(QVariantMap{{kIndex, subtitleIndexes[i]}, {kName, subtitleNames[i]}});
  }
  subtitlesTracks_.prepend(QVariantMap{{kIndex, -1}, {kName, QStringLiteral("Disable")}});

  Transaction::begin();
  Transaction::setDisableActions(true);
  for (const LayerPtr& roll : {audioLayerContents_, subtitleLayerContents_, subtitleDelayLayerContents_})
    while (!roll->sublayers().empty()) roll->sublayers().back()->removeFromSuperlayer();
  for (const QVariant& entry : audioTracks_) audioLayerContents_->addSublayer(layerForTrack(cut(entry.toMap().value(kName).toString())));
  for (const QVariant& entry : subtitlesTracks_) subtitleLayerContents_->addSublayer(layerForTrack(cut(entry.toMap().value(kName).toString())));
  for (int i = 0; i < 7; ++i) {
    const double v = 0.1 * i - 0.3;
    QString text = QStringLiteral("No delay");
    if (v < -0.05) text = QString::asprintf("%0.1f s. before", std::abs(v));
    if (v > 0.05) text = QString::asprintf("%0.1f s. after", std::abs(v));
    subtitleDelayLayerContents_->addSublayer(layerForTrack(text));
  }
  audioLayerContents_->setValue(kSelected, qint64(0));
  subtitleLayerContents_->setValue(kSelected, qint64(0));
  subtitleDelayLayerContents_->setValue(kSelected, qint64(1));
  subtitleDelayLayerContents_->setValue(QStringLiteral("positionIndex"), 0.0);
  audioLayerContents_->setValue(kType, qint32(0));
  subtitleLayerContents_->setValue(kType, qint32(-1));
  subtitleDelayLayerContents_->setValue(kType, qint32(-1));
  Transaction::commit();

  player->setCurrentAudioTrackIndex(audioTracks_.first().toMap().value(kIndex, 0).toInt());
  player->setCurrentVideoSubTitleIndex(-1);
  audioLayerContents_->setNeedsLayout();
  subtitleLayerContents_->setNeedsLayout();
}

bool OXVideoOSD::subtitleSelected() const { return selectedIndex(subtitleLayerContents_) != 0; }

void OXVideoOSD::applyColumnFocus() {
  const bool sub = subtitleSelected();
  const double dimmedDelay = sub ? 0.2 : 0.0;
  const double audio[] = {1.0, 0.2, 0.2}, subtitle[] = {0.2, 1.0, 0.2}, delay[] = {dimmedDelay, dimmedDelay, 1.0};
  const quint64 c = std::min<quint64>(columnOption_, 2);
  audioTitle_->setOpacity(audio[c]);
  subtitleTitle_->setOpacity(subtitle[c]);
  subtitleDelayTitle_->setOpacity(delay[c]);
  audioLayerContents_->setValue(kType, qint32(c == 0 ? 0 : -1));
  subtitleLayerContents_->setValue(kType, qint32(c == 1 ? 0 : -1));
  subtitleDelayLayerContents_->setValue(kType, qint32(c == 2 ? 0 : -1));
}

void OXVideoOSD::showOptions() {
  if (!audioLayerContents_) return;
  optionsPanel_ = true;
  if (!subtitleLayerContents_->sublayers().empty()) {
    const LayerPtr first = subtitleLayerContents_->sublayers().front();
    if (auto text = std::dynamic_pointer_cast<TextLayer>(first->layerValue(QStringLiteral("__holderLayer"))))
      text->setForegroundColor(kFirstRowColour);
    first->setNeedsLayout();
  }
  if (auto w = window()) {
    w->animateAlphaValue(1.0);
    w->animateBackgroundColor(QColor(0, 0, 0, 178));
  }
  audioLayerContents_->setOpacity(1);
  subtitleLayerContents_->setOpacity(1);
  subtitleDelayLayerContents_->setOpacity(subtitleSelected() ? 1 : 0);
  applyColumnFocus();
}

void OXVideoOSD::hideOptions() {
  optionsPanel_ = false;
  if (auto w = window()) w->animateBackgroundColor(Qt::transparent);
  for (const LayerPtr& l : std::initializer_list<LayerPtr>{audioLayerContents_, subtitleLayerContents_,
                                                           subtitleDelayLayerContents_, audioTitle_, subtitleTitle_,
                                                           subtitleDelayTitle_})
    if (l) l->setOpacity(0);
}

void OXVideoOSD::moveColumn(int step) {
  if (step > 0) {
    if (columnOption_ == 0)
      columnOption_ = 1;
    else if (columnOption_ == 1 && subtitleSelected())
      columnOption_ = 2;
    else
      return;
  } else {
    if (columnOption_ == 0) return;
    columnOption_ -= 1;
  }
  applyColumnFocus();
  for (const LayerPtr& roll : {audioLayerContents_, subtitleLayerContents_, subtitleDelayLayerContents_})
    roll->setNeedsLayout();
}

void OXVideoOSD::incrementOne() { moveRow(+1); }

void OXVideoOSD::decrementOne() { moveRow(-1); }

void OXVideoOSD::moveRow(int step) {
  if (!audioLayerContents_) return;
  if (columnOption_ == 2) {
    subtitleDelayLayerContents_->setValue(kSelected, qint64(step > 0 ? 4 : 2));
    subtitleDelayLayerContents_->setNeedsLayout();
    // The roll counts the step in its layout pass: lay it out first, so the delay applied is the row shown.
    subtitleDelayLayerContents_->layoutIfNeeded();
    const double position = subtitleDelayLayerContents_->value(QStringLiteral("positionIndex")).toDouble();
    if (auto player = vlcMediaPlayer()) player->setCurrentVideoSubTitleDelay(qint64(std::llround(position * 100000)));
    return;
  }
  const LayerPtr roll = columnOption_ == 0 ? audioLayerContents_ : subtitleLayerContents_;
  const qint64 count = qint64(roll->sublayers().size());
  const qint64 from = selectedIndex(roll), to = from + step;
  if (to < 0 || to >= count) return;
  roll->setValue(kSelected, to);
  roll->setNeedsLayout();
  if (columnOption_ == 0) {
    newAudioTrackSelected();
    return;
  }
  if (from == 0) showSubtitleDelayRoll();
  if (to == 0) hideSubtitleDelayRoll();
  if (!subtitleTimer_) {
    subtitleTimer_ = std::make_unique<QTimer>();
    subtitleTimer_->setSingleShot(true);
    subtitleTimer_->setInterval(kSubtitleRestMs);
    QObject::connect(subtitleTimer_.get(), &QTimer::timeout, [this] { newSubtitleTrackSelected(); });
  }
  // Only a choice that rests applies: every step starts the wait again.
  subtitleTimer_->start();
}

void OXVideoOSD::placeColumns(bool delayShown) {
  const double X = 0.32 * frame().height();
  const double audioX = delayShown ? -1.1 * X : -0.5 * X, subtitleX = delayShown ? 0.0 : 0.5 * X;
  const QString super = QStringLiteral("superlayer");
  auto place = [&](const LayerPtr& l, double dx, double dy) {
    l->setConstraints({Constraint(ConstraintAttribute::MidX, super, ConstraintAttribute::MidX, 1.0, dx),
                       Constraint(ConstraintAttribute::MidY, super, ConstraintAttribute::MidY, 1.0, dy)});
  };
  place(audioLayerContents_, audioX, 0);
  place(audioTitle_, audioX, 180);
  place(subtitleLayerContents_, subtitleX, 0);
  place(subtitleTitle_, subtitleX, 180);
  // Laid out inside the caller's transaction, so the columns slide with its pacing.
  layer()->layoutIfNeeded();
}

void OXVideoOSD::showSubtitleDelayRoll() {
  Transaction::begin();
  Transaction::setAnimationDuration(0.2);
  Transaction::setAnimationTimingFunction(TimingFunction::easeOut());
  placeColumns(true);
  subtitleDelayLayerContents_->setOpacity(1);
  subtitleDelayTitle_->setOpacity(0.2);
  Transaction::commit();
}

void OXVideoOSD::hideSubtitleDelayRoll() {
  std::weak_ptr<View> weak = weak_from_this();
  Transaction::begin();
  Transaction::setAnimationDuration(0.2);
  Transaction::setAnimationTimingFunction(TimingFunction::easeOut());
  Transaction::setCompletionBlock([weak] {
    auto self = std::static_pointer_cast<OXVideoOSD>(weak.lock());
    if (!self || self->subtitleSelected()) return;  // brought back in meanwhile
    Transaction::begin();
    Transaction::setAnimationDuration(0.2);
    Transaction::setAnimationTimingFunction(TimingFunction::easeOut());
    self->placeColumns(false);
    Transaction::commit();
  });
  subtitleDelayLayerContents_->setOpacity(0);
  subtitleDelayTitle_->setOpacity(0);
  Transaction::commit();
}

QVariantMap OXVideoOSD::currentAudioSelected() const {
  const qint64 i = selectedIndex(audioLayerContents_);
  return i >= 0 && i < audioTracks_.size() ? audioTracks_.at(i).toMap() : QVariantMap();
}

QVariantMap OXVideoOSD::currentSubtitleSelected() const {
  const qint64 i = selectedIndex(subtitleLayerContents_);
  return i >= 0 && i < subtitlesTracks_.size() ? subtitlesTracks_.at(i).toMap() : QVariantMap();
}

void OXVideoOSD::newAudioTrackSelected() {
  auto player = vlcMediaPlayer();
  const QVariantMap entry = currentAudioSelected();
  if (player && entry.contains(kIndex)) player->setCurrentAudioTrackIndex(entry.value(kIndex).toInt());
}

void OXVideoOSD::newSubtitleTrackSelected() {
  auto player = vlcMediaPlayer();
  const QVariantMap entry = currentSubtitleSelected();
  if (!player || entry.isEmpty()) return;
  if (!entry.contains(kUrl)) {
    player->setCurrentVideoSubTitleIndex(entry.value(kIndex).toInt());
    return;
  }
  const QString language = entry.value(kName).toString();
  auto cache = playerCache();
  if (!cache) return;
  // The service's language name becomes a folder name: it must stay one folder inside "Subtitles".
  const QString name = OXApplicationSupport::safeName(language);
  // Its download found the file where it unpacked: the folder is not looked through again here.
  const auto downloaded = subtitleFiles_.constFind(name);
  if (downloaded == subtitleFiles_.cend() || !cache->existFileForLanguage(name)) {
    startDownload(entry, name, cache->pathForSubtitleLanguageNameZIP(name), cache->pathForSubtitleLanguageName(name));
    return;
  }
  loadDownloadedSubtitle(language, *downloaded);
}

void OXVideoOSD::loadDownloadedSubtitle(const QString& language, const QString& srt) {
  auto player = vlcMediaPlayer();
  if (!player || srt.isEmpty()) return;
  if (player->openVideoSubTitlesFromFile(srt))
    ox::log(QStringLiteral("Se pudo abrir subtitulo %1").arg(language));
  else
    ox::log(QStringLiteral("No se pudo abrir subtitulo"));
}

void OXVideoOSD::startDownload(const QVariantMap& entry, const QString& name, const QString& zipPath,
                               const QString& folder) {
  const QString language = entry.value(kName).toString();
  if (downloads_.contains(name)) return;  // already on its way
  const QUrl url(entry.value(kUrl).toString());
  if (zipPath.isEmpty() || folder.isEmpty() || !url.isValid()) return;
  downloads_.insert(name);
  std::weak_ptr<View> weak = weak_from_this();
  downloadQueue().addOperationWithBlock([weak, url, zipPath, folder, language, name] {
    QString srt;
    const bool ok = OXSubtitleDownload::downloadAndUnpack(url, zipPath, folder, &srt);
    dispatchMain([weak, ok, srt, language, name] {
      auto self = std::static_pointer_cast<OXVideoOSD>(weak.lock());
      if (!self) return;
      self->downloads_.remove(name);
      if (ok) self->subtitleFiles_.insert(name, srt);
      // The user may have moved on while it came: only the language still chosen is loaded.
      const QVariantMap chosen = self->currentSubtitleSelected();
      if (!ok || !chosen.contains(kUrl) || chosen.value(kName).toString() != language) return;
      self->loadDownloadedSubtitle(language, srt);
    });
  });
}
