// The watched-ratio store of OXLibrary: "ratios.bin", whose root key "ratioList" holds one entry per title.
#include "core/OXDetachedCopy.h"
#include "core/OXLibrary.h"
#include "core/OXStoreArchive.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MappedFile.h"

namespace {

const QString kRatiosFile = QStringLiteral("ratios.bin");
const QString kRatioList = QStringLiteral("ratioList");

QString imdbKey(const QString& imdb) { return QStringLiteral("imdbCode|%1").arg(imdb); }
QString episodeKey(quint64 episodeID) { return QStringLiteral("episodeID|%1").arg(episodeID); }

}  // namespace

void OXLibrary::loadRatios() {
  QVariantMap ratios;
  QString kept;
  const QString path = pathWithFolder({}, kRatiosFile);
  if (!path.isEmpty()) ox::removeStaleTemporaries(path);
  ox::MappedFile file(path);
  if (readable(path, file, kept)) {
    OXStoreArchive archive(file.bytes(), {kRatioList});
    ratios = archive.value(kRatioList, [](const QVariant& v) { return v.typeId() == QMetaType::QVariantMap; }).toMap();
    if (const QString damage = archive.damage(); !damage.isEmpty()) {
      file.close();
      moveAside(path, damage, kept);
      ratios.clear();
    }
  }
  {
    std::lock_guard saving(ratioSaveLock_);
    ratiosKept_ = kept;
  }
  std::lock_guard hold(ratioLock_);
  ratioList_ = ratios;
}

bool OXLibrary::saveRatios() {
  // The snapshot is taken inside the save lock: of two saves, the later one writes the later state.
  std::lock_guard saving(ratioSaveLock_);
  if (!ratiosKept_.isEmpty()) {
    ox::log(QStringLiteral("OXLibrary: ratios not saved, so as not to replace what was never loaded: %1")
                .arg(ratiosKept_));
    return false;
  }
  const QByteArray bytes = ox::archivedDataWithRootObject(ratioList(), kRatioList);
  const QString path = pathWithFolder({}, kRatiosFile);
  if (path.isEmpty() || bytes.isEmpty()) return false;
  return ox::writeFileAtomically(path, bytes);
}

QVariantMap OXLibrary::ratioList() const {
  std::lock_guard hold(ratioLock_);
  return detachedCopy(ratioList_);
}

void OXLibrary::setRatioList(const QVariantMap& ratios) {
  QVariantMap copy = detachedCopy(ratios);
  std::lock_guard hold(ratioLock_);
  ratioList_.swap(copy);
}

float OXLibrary::ratioForIMDB(const QString& imdb) const {
  std::lock_guard hold(ratioLock_);
  return ratioList_.value(imdbKey(imdb)).toMap().value(QStringLiteral("ratio")).toFloat();
}

void OXLibrary::setRatioForIMDB(float ratio, const QString& imdb) {
  {
    std::lock_guard hold(ratioLock_);
    ratioList_.insert(imdbKey(imdb), QVariantMap{{QStringLiteral("type"), QStringLiteral("imdbCode")},
                                                 {QStringLiteral("value"), imdb},
                                                 {QStringLiteral("ratio"), ratio}});
  }
  saveRatios();
}

float OXLibrary::ratioForEpisodeID(quint64 episodeID) const {
  std::lock_guard hold(ratioLock_);
  return ratioList_.value(episodeKey(episodeID)).toMap().value(QStringLiteral("ratio")).toFloat();
}

void OXLibrary::setRatioEpisodeID(float ratio, quint64 episodeID) {
  {
    std::lock_guard hold(ratioLock_);
    ratioList_.insert(episodeKey(episodeID), QVariantMap{{QStringLiteral("type"), QStringLiteral("episodeID")},
                                                         {QStringLiteral("value"), episodeID},
                                                         {QStringLiteral("ratio"), ratio}});
  }
  saveRatios();
}
