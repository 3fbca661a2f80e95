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

// An entry as the store writes it: {"type", "value", "ratio"} under the key formed from its type and value. Only the
// ratio is read, so an entry may lack the other two, and one without a ratio reads as unwatched and is saved back as
// it is; but a key of its own, a value of another kind, or a key that does not name its entry is damage that a save
// would write back.
bool isRatioEntry(const QString& key, const QVariant& v) {
  if (v.typeId() != QMetaType::QVariantMap) return false;
  const QVariantMap entry = v.toMap();
  for (auto it = entry.cbegin(); it != entry.cend(); ++it)
    if (it.key() != u"type" && it.key() != u"value" && it.key() != u"ratio") return false;
  const int ratio = entry.value(QStringLiteral("ratio")).typeId();
  if (ratio != QMetaType::UnknownType && ratio != QMetaType::Double && ratio != QMetaType::LongLong) return false;
  const QVariant type = entry.value(QStringLiteral("type")), value = entry.value(QStringLiteral("value"));
  if (!type.isValid() && !value.isValid()) return true;
  const QString kind = type.typeId() == QMetaType::QString ? type.toString() : QString();
  if (kind == u"imdbCode") return value.typeId() == QMetaType::QString && key == imdbKey(value.toString());
  if (kind == u"episodeID")
    return value.typeId() == QMetaType::LongLong && key == episodeKey(quint64(value.toLongLong()));
  return false;
}

bool isRatioList(const QVariant& v) {
  if (v.typeId() != QMetaType::QVariantMap) return false;
  const QVariantMap ratios = v.toMap();
  for (auto it = ratios.cbegin(); it != ratios.cend(); ++it)
    if (!isRatioEntry(it.key(), *it)) return false;
  return true;
}

}  // namespace

void OXLibrary::loadRatios() {
  QVariantMap ratios;
  QString kept;
  const QString path = pathWithFolder({}, kRatiosFile);
  if (!path.isEmpty()) ox::removeStaleTemporaries(path);
  ox::MappedFile file(path);
  if (readable(path, file, kept)) {
    OXStoreArchive archive(file.bytes(), {kRatioList});
    ratios = archive.value(kRatioList, isRatioList).toMap();
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
