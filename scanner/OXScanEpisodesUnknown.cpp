#include "scanner/OXScanEpisodesUnknown.h"

#include <QHash>

#include "platform/foundation/Log.h"
#include "platform/foundation/MainQueue.h"

namespace {

// A path folded for a comparison that ignores case and diacritics.
QString folded(const QString& path) {
  QString out;
  const QString decomposed = path.normalized(QString::NormalizationForm_D);
  out.reserve(decomposed.size());
  for (const QChar c : decomposed)
    if (c.category() != QChar::Mark_NonSpacing) out += c;
  return out.toCaseFolded();
}

// The folder holding a file, ending in "/", so that "Show" does not take in "Show 2".
QString folderPrefixOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  return slash < 0 ? QString() : path.left(slash + 1);
}

}  // namespace

std::shared_ptr<OXLibrary> OXScanEpisodesUnknown::library() const {
  return library_ ? library_ : OXLibrary::shareLibrary()->shared_from_this();
}

QVariantMap OXScanEpisodesUnknown::populationStadisticsForList(const OXLibrary::EpisodeList& episodes) {
  QList<quint64> order;
  QHash<quint64, qsizetype> counts;
  for (const auto& episode : episodes) {
    if (!episode) continue;
    if (!counts.contains(episode->showID())) order << episode->showID();
    ++counts[episode->showID()];
  }
  bool found = false;
  quint64 best = 0;
  float bestCount = 0;
  for (const quint64 id : order) {
    if (float(counts.value(id)) > bestCount) {
      bestCount = float(counts.value(id));
      best = id;
      found = true;
    }
  }
  const qsizetype total = episodes.size();
  if (!found || total == 0) return {{QStringLiteral("showID"), QString()}, {QStringLiteral("percentage"), 0}};
  return {{QStringLiteral("showID"), QVariant::fromValue<quint64>(best)},
          {QStringLiteral("percentage"), QVariant::fromValue<float>(bestCount / float(total))}};
}

void OXScanEpisodesUnknown::findUnknownEpisodesBySameFolder() {
  const auto lib = library();
  const OXLibrary::FileList files = lib->unknownEpisodeToReSearch();
  const std::weak_ptr<OXCoreLibraryDelegate> delegate = delegate_;
  for (const auto& file : files) {
    if (!file) continue;
    const QString prefix = folded(folderPrefixOf(file->filePath()));
    OXLibrary::EpisodeList siblings;
    for (const auto& episode : lib->episodeList()) {
      const auto episodeFile = episode->file();
      if (!prefix.isEmpty() && episodeFile && folded(episodeFile->filePath()).startsWith(prefix)) siblings << episode;
    }
    const QVariantMap stats = populationStadisticsForList(siblings);
    // Read in single precision as stored: four in five lies just above 0.8 and passes, three in four does not.
    const float share = stats.value(QStringLiteral("percentage")).toFloat();
    std::shared_ptr<OXEpisode> episode;
    bool unanswered = false;
    if (double(share) > 0.8) {
      const quint64 showID = stats.value(QStringLiteral("showID")).toULongLong();
      for (const auto& show : lib->showList()) {
        if (show->showID() != showID) continue;
        episode = ombrixAPI_.episodeForShow(show, file->parseSeasonNumber(), file->parseEpisodeNumber(), &unanswered);
        break;
      }
    }
    if (unanswered) {
      // TheTVDB's silence says nothing: listed nowhere, the file is identified afresh at the next cycle.
      ox::log(QStringLiteral("OXScanEpisodesUnknown: %1 not settled, TheTVDB did not answer; it is tried again at the "
                             "next cycle")
                  .arg(file->filePath()));
    } else if (episode) {
      episode->setFile(file);
      ox::dispatchMain([lib, delegate, episode, file] {
        const auto listener = delegate.lock();
        if (lib->addContent(episode) && listener) listener->contentAdded(episode);
        // A file the daily pass sent back here may still sit in the unknown episode list: it leaves it, so that
        // one file is never listed twice.
        for (const auto& unknown : lib->unknownEpisodeList()) {
          if (unknown->filePath() != file->filePath()) continue;
          lib->removeUnknown(unknown);
          if (listener) listener->removeUnknown(unknown);
        }
      });
    } else {
      ox::dispatchMain([lib, delegate, file] {
        lib->addUnknown(file);
        if (const auto listener = delegate.lock()) listener->unknownAdded(file);
      });
    }
  }
  // Files put on the list while this pass ran wait for the next one.
  for (const auto& file : files) lib->removeUnknownEpisodeToReSearch(file);
}
