// Fuzz target for the keyed-archive reader: any bytes give an archive or an invalid one, never a crash, a hang or an
// unbounded allocation. The foundation tests also run the same entry on deterministic mutations of a sound archive.
//
// With OX_FUZZ_LIBRARY_CLASSES (the fuzz program and the core tests) the library's own classes are registered too,
// root list, file, movie, show and episode, so that their decoders meet damaged records as well as the frame.
#include <QDateTime>
#include <QUrl>
#include <cstddef>
#include <cstdint>

#include "platform/foundation/KeyedArchiver.h"
#include "tests/fuzz/FuzzEntry.h"
#ifdef OX_FUZZ_LIBRARY_CLASSES
#include "core/OXArchiveClasses.h"
#include "core/OXEpisode.h"
#include "core/OXMovie.h"
#include "core/OXRootList.h"
#include "core/OXShow.h"
#endif

namespace oxfuzz {

// A class of the system's kind, so that the factory path is covered too.
struct FuzzRecord final : ox::Coding {
  QVariant child;
  qint64 count = 0;
  bool flag = false;
  QString archiveClassName() const override { return QStringLiteral("OXFuzzRecord"); }
  void encodeWithCoder(ox::Coder& coder) const override {
    coder.encodeObject(child, QStringLiteral("child"));
    coder.encodeInt64(count, QStringLiteral("count"));
    coder.encodeBool(flag, QStringLiteral("flag"));
    coder.encodeFloat(1.5f, QStringLiteral("scale"));
  }
};

inline void registerFuzzRecord() {
  static const bool registered = [] {
    ox::registerArchiveClass(QStringLiteral("OXFuzzRecord"), [](const ox::Decoder& d) -> ox::CodingPtr {
      if (!d.containsValue(QStringLiteral("count"))) return nullptr;
      auto r = std::make_shared<FuzzRecord>();
      r->child = d.decodeObject(QStringLiteral("child"));
      r->count = d.decodeInt64(QStringLiteral("count"));
      r->flag = d.decodeBool(QStringLiteral("flag"));
      d.decodeFloat(QStringLiteral("scale"));
      d.decodeString(QStringLiteral("count"));
      return r;
    });
    return true;
  }();
  (void)registered;
}

// A sound archive holding every kind of value, shared objects included: the seed of the mutation runs.
inline QByteArray sampleArchive() {
  registerFuzzRecord();
  auto leaf = std::make_shared<FuzzRecord>();
  leaf->child = QStringLiteral("leaf");
  leaf->count = -3;
  auto node = std::make_shared<FuzzRecord>();
  node->child = QVariantList{ox::wrapCoding(leaf), ox::wrapCoding(leaf)};
  node->count = 1LL << 40;
  node->flag = true;
  const QVariantMap map{{QStringLiteral("text"), QStringLiteral("caf\u00e9")},
                        {QStringLiteral("data"), QByteArray("\x00\x01\x02", 3)},
                        {QStringLiteral("real"), 2.75},
                        {QStringLiteral("date"), QDateTime::fromMSecsSinceEpoch(1300000000123LL, Qt::UTC)},
                        {QStringLiteral("url"), QUrl(QStringLiteral("file:///tmp/a b.mkv"))},
                        {QStringLiteral("node"), ox::wrapCoding(node)},
                        {QStringLiteral("nil"), QVariant()}};
  ox::KeyedArchiver archiver;
  archiver.encodeObject(map, QStringLiteral("root"));
  archiver.encodeInt64(7, QStringLiteral("version"));
  archiver.encodeDouble(0.5, QStringLiteral("ratio"));
  return archiver.finish();
}

#ifdef OX_FUZZ_LIBRARY_CLASSES
inline void registerLibraryClasses() {
  static const bool registered = [] {
    registerCoreArchiveClasses();
    ox::registerArchiveClass(QStringLiteral("OXRootList"),
                             [](const ox::Decoder& d) { return OXRootList::initWithCoder(d); });
    return true;
  }();
  (void)registered;
}

// Reads what a decoded record holds, as the programs do, without anything that reaches the disk.
inline bool walkLibraryRecord(const QVariant& v) {
  const auto file = [](const std::shared_ptr<OXFile>& f) {
    if (!f) return;
    (void)f->description();
    (void)f->isValidFilePath();
    (void)f->parseSeasonAndEpisodeRange(f->fulltext());
    (void)(f->partialDataMD5().size() + f->partialDataSHA1().size() + f->partialDataCRC32().size());
  };
  if (auto m = ox::codingAs<OXMovie>(v)) {
    (void)m->description();
    (void)(m->genres().size() + m->links().size() + m->trailers().size());
    (void)m->poster().toString();
    file(m->file());
  } else if (auto e = ox::codingAs<OXEpisode>(v)) {
    (void)e->description();
    (void)(e->links().size() + e->imageThumb().size());
    file(e->file());
  } else if (auto s = ox::codingAs<OXShow>(v)) {
    (void)s->description();
  } else if (auto f = ox::codingAs<OXFile>(v)) {
    file(f);
  } else if (auto r = ox::codingAs<OXRootList>(v)) {
    (void)r->folderToScanType(1);
    (void)r->folderToScanType(3);
  } else {
    return false;
  }
  return true;
}
#endif

// Touches every part of a decoded value. A decoded value may share sub-values (one UID, one object), so the walk has
// a budget rather than expanding a shared graph.
inline void walk(const QVariant& v, int& budget) {
  if (--budget < 0) return;
  if (v.typeId() == QMetaType::QVariantList) {
    for (const QVariant& e : v.toList()) walk(e, budget);
  } else if (v.typeId() == QMetaType::QVariantMap) {
    const QVariantMap map = v.toMap();
    for (auto it = map.begin(); it != map.end(); ++it) walk(it.value(), budget);
  } else if (auto r = ox::codingAs<FuzzRecord>(v)) {
    walk(r->child, budget);
#ifdef OX_FUZZ_LIBRARY_CLASSES
  } else if (walkLibraryRecord(v)) {
#endif
  } else {
    (void)v.toString().size();
  }
}

}  // namespace oxfuzz

OX_FUZZ_ENTRY(unarchiver) {
  oxfuzz::registerFuzzRecord();
#ifdef OX_FUZZ_LIBRARY_CLASSES
  oxfuzz::registerLibraryClasses();
#endif
  ox::KeyedUnarchiver archive(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
  for (const QString& key : archive.rootKeys()) {
    int budget = 100000;
    const QVariant value = archive.decodeObject(key);
    oxfuzz::walk(value, budget);
    // Saved again, shared lists are written out for each holder: what a reader takes in must stay bounded there too.
    (void)ox::archivedDataWithRootObject(value, key);
    archive.decodeInt64(key);
    archive.decodeDouble(key);
    archive.decodeBool(key);
  }
  return 0;
}
