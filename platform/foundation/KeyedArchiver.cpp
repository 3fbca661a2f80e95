#include "platform/foundation/KeyedArchiver.h"

#include <QDateTime>
#include <QHash>
#include <QUrl>
#include <cstring>
#include <deque>
#include <limits>
#include <vector>

#include "platform/foundation/BinaryPlistWriter.h"
#include "platform/foundation/KeyCache.h"
#include "platform/foundation/KeyedArchiveKeys.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"

namespace ox {

QVariant wrapCoding(const CodingPtr& object) { return object ? QVariant::fromValue(object) : QVariant(); }

CodingPtr codingFromVariant(const QVariant& value) {
  return value.metaType() == QMetaType::fromType<CodingPtr>() ? value.value<CodingPtr>() : nullptr;
}

// ---------------------------------------------------------------------------------------------------------------------
// Archiving: the object table is built as it will be written, each object once, and laid out as a property list only
// at the end, so that its dictionaries come before what they reference, as the platform's archiver writes them.

namespace {

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

// What a dictionary entry holds: a UID, a number, a text of the format's own (class names), or a run of UIDs or
// texts (an array).
enum class Held : uint8_t { Uid, Integer, Real, Boolean, Text, Uids, Texts };
struct Entry {
  uint32_t key;    // text id of the key
  Held held;
  uint64_t value;  // UID, scalar bits, text id, or a run: first << 32 | count
};

enum class Kind : uint8_t { Text, Data, Integer, Real, Boolean, Dictionary };
struct Object {
  Kind kind;
  uint32_t count;  // a dictionary's entries
  uint64_t value;  // text id, data index, scalar bits, or a dictionary's first entry
};

uint64_t bitsOf(double d) {
  uint64_t bits = 0;
  std::memcpy(&bits, &d, sizeof bits);
  return bits;
}

// Object identity: the address of an encoded object to its UID, open addressing.
class IdentityTable {
 public:
  uint32_t* find(const void* key, bool& inserted) {
    if (2 * (used_ + 1) > keys_.size()) grow();
    size_t at = slot(key);
    while (keys_[at] && keys_[at] != key) at = (at + 1) & (keys_.size() - 1);
    inserted = !keys_[at];
    if (inserted) {
      keys_[at] = key;
      ++used_;
    }
    return &uids_[at];
  }

 private:
  size_t slot(const void* key) const {
    return size_t((uint64_t(reinterpret_cast<uintptr_t>(key)) * 0x9E3779B97F4A7C15ULL) >> 20) & (keys_.size() - 1);
  }
  void grow() {
    std::vector<const void*> keys(std::max<size_t>(256, keys_.size() * 2), nullptr);
    std::vector<uint32_t> uids(keys.size(), 0);
    keys.swap(keys_);
    uids.swap(uids_);
    for (size_t i = 0; i < keys.size(); ++i) {
      if (!keys[i]) continue;
      size_t at = slot(keys[i]);
      while (keys_[at]) at = (at + 1) & (keys_.size() - 1);
      keys_[at] = keys[i];
      uids_[at] = uids[i];
    }
  }
  std::vector<const void*> keys_;
  std::vector<uint32_t> uids_;
  size_t used_ = 0;
};

struct Writer {
  BinaryPlistWriter plist;
  std::vector<Object> objects;      // by UID
  std::vector<Entry> entries;       // every dictionary's entries, each dictionary's in one run
  std::vector<uint32_t> runs;       // the UIDs and texts of arrays
  std::vector<QByteArray> data;
  std::vector<uint32_t> textUids;   // by text id: the text's object, kNone while it has none
  std::vector<uint32_t> keys;       // by the text id of a caller's key: the text id of its archive form
  std::vector<uint32_t> classes;    // by the text id of a class name: the UID of its class dictionary
  IdentityTable codings;
  std::vector<CodingPtr> kept;      // keeps encoded objects (and so their addresses) alive until the end
  // Entries and runs under way, one buffer per nesting level (a record's entries wait for its children).
  std::deque<std::vector<Entry>> pendingEntries;
  std::deque<std::vector<uint32_t>> pendingRuns;
  size_t depth = 0;
  std::vector<Entry> top;
  uint32_t arrayClass = kNone, dictionaryClass = kNone, dateClass = kNone, urlClass = kNone;
  bool finished = false;
  const uint32_t kClass, kClasses, kClassname, kObjects, kKeys, kTime, kBase, kRelative;

  Writer()
      : kClass(plist.internText(QStringLiteral("$class"))),
        kClasses(plist.internText(QStringLiteral("$classes"))),
        kClassname(plist.internText(QStringLiteral("$classname"))),
        kObjects(plist.internText(QStringLiteral("NS.objects"))),
        kKeys(plist.internText(QStringLiteral("NS.keys"))),
        kTime(plist.internText(QStringLiteral("NS.time"))),
        kBase(plist.internText(QStringLiteral("NS.base"))),
        kRelative(plist.internText(QStringLiteral("NS.relative"))) {
    objects.reserve(4096);
    entries.reserve(16384);
    // Not among the texts: a caller's text "$null" is an object of its own, not nil.
    add(Kind::Text, plist.internText(QStringLiteral("$null")));
  }

  // The text id of a key's archive form, through the id of the caller's text.
  KeyCache keyCache;
  uint32_t keyId(const QString& key) {
    const uint32_t known = keyCache.find(key);
    if (known != KeyCache::kNone) return known;
    const uint32_t id = plist.internText(key);
    if (id >= keys.size()) keys.resize(std::max<size_t>(id + 1, keys.size() * 2), kNone);
    if (keys[id] == kNone) {
      const QString form = archiveKey(key);
      keys[id] = form == key ? id : plist.internText(form);
    }
    keyCache.insert(key, keys[id]);
    return keys[id];
  }

  uint32_t add(Kind kind, uint64_t value) {
    objects.push_back({kind, 0, value});
    return uint32_t(objects.size() - 1);
  }

  // Equal texts are stored once.
  uint32_t text(const QString& s) {
    const uint32_t id = plist.internText(s);
    if (id >= textUids.size()) textUids.resize(std::max<size_t>(id + 1, textUids.size() * 2), kNone);
    uint32_t& uid = textUids[id];
    if (uid == kNone) uid = add(Kind::Text, id);
    return uid;
  }

  std::vector<Entry>& pending(size_t level) {
    while (pendingEntries.size() <= level) pendingEntries.emplace_back();
    return pendingEntries[level];
  }
  std::vector<uint32_t>& pendingRun(size_t level) {
    while (pendingRuns.size() <= level) pendingRuns.emplace_back();
    return pendingRuns[level];
  }

  // A key given again keeps its place and takes the new value.
  static void put(std::vector<Entry>& into, uint32_t key, Held held, uint64_t value) {
    for (Entry& e : into) {
      if (e.key == key) {
        e.held = held;
        e.value = value;
        return;
      }
    }
    into.push_back({key, held, value});
  }

  void closeDictionary(uint32_t uid, std::vector<Entry>& from) {
    objects[uid].value = entries.size();
    objects[uid].count = uint32_t(from.size());
    entries.insert(entries.end(), from.begin(), from.end());
    from.clear();
  }

  // One class dictionary per class, found by the text id of the class's name.
  template <class Chain>
  uint32_t classUid(const QString& name, const Chain& chain) {
    const uint32_t nameId = plist.internText(name);
    if (nameId >= classes.size()) classes.resize(std::max<size_t>(nameId + 1, classes.size() * 2), kNone);
    if (classes[nameId] != kNone) return classes[nameId];
    const QStringList names = chain();
    const uint32_t uid = add(Kind::Dictionary, 0);
    const uint64_t first = runs.size();
    for (const QString& c : names) runs.push_back(plist.internText(c));
    objects[uid].value = entries.size();
    objects[uid].count = 2;
    entries.push_back({kClasses, Held::Texts, first << 32 | uint64_t(names.size())});
    entries.push_back({kClassname, Held::Text, plist.internText(names.value(0))});
    return classes[nameId] = uid;
  }
  uint32_t builtinClass(uint32_t& known, const char* name) {
    if (known == kNone) {
      const QString text = QLatin1String(name);
      known = classUid(text, [&] { return QStringList{text, QStringLiteral("NSObject")}; });
    }
    return known;
  }

  // The elements are encoded before the run is stored, as their own runs come first.
  uint64_t uidRun(const QVariantList& values, size_t level) {
    std::vector<uint32_t>& run = pendingRun(level);  // a deque's elements stay where they are as it grows
    for (const QVariant& v : values) {
      const uint32_t uid = encode(v);
      run.push_back(uid);
    }
    const uint64_t first = runs.size(), count = run.size();
    runs.insert(runs.end(), run.begin(), run.end());
    run.clear();
    return first << 32 | count;
  }

  uint32_t encode(const QVariant& v);
  uint32_t encodeCollection(const QVariant& v, bool map);
  uint32_t encodeCoding(const CodingPtr& object);
};

// The coder given to an object of the system: writes the entries of its dictionary.
class ObjectCoder final : public Coder {
 public:
  ObjectCoder(Writer& archive, std::vector<Entry>& entries) : a(archive), into(entries) {}
  void encodeObject(const QVariant& value, const QString& key) override {
    const uint32_t uid = a.encode(value);
    Writer::put(into, a.keyId(key), Held::Uid, uid);
  }
  void encodeInt64(qint64 value, const QString& key) override {
    Writer::put(into, a.keyId(key), Held::Integer, uint64_t(value));
  }
  void encodeDouble(double value, const QString& key) override {
    Writer::put(into, a.keyId(key), Held::Real, bitsOf(value));
  }
  void encodeFloat(float value, const QString& key) override { encodeDouble(double(value), key); }
  void encodeBool(bool value, const QString& key) override { Writer::put(into, a.keyId(key), Held::Boolean, value); }

 private:
  Writer& a;
  std::vector<Entry>& into;  // a deque's element: it stays where it is while deeper levels are added
};

uint32_t Writer::encodeCollection(const QVariant& v, bool map) {
  const size_t level = depth++;
  const uint32_t uid = add(Kind::Dictionary, 0);
  if (map) {
    const QVariantMap values = v.toMap();
    QVariantList keyList;
    keyList.reserve(values.size());
    for (auto it = values.cbegin(); it != values.cend(); ++it) keyList.append(it.key());
    const uint64_t keyRun = uidRun(keyList, level);
    put(pending(level), kKeys, Held::Uids, keyRun);
    const uint64_t valueRun = uidRun(values.values(), level);
    put(pending(level), kObjects, Held::Uids, valueRun);
  } else {
    const uint64_t run = uidRun(v.toList(), level);
    put(pending(level), kObjects, Held::Uids, run);
  }
  put(pending(level), kClass, Held::Uid, map ? builtinClass(dictionaryClass, "NSDictionary") : builtinClass(arrayClass, "NSArray"));
  closeDictionary(uid, pending(level));
  --depth;
  return uid;
}

uint32_t Writer::encodeCoding(const CodingPtr& object) {
  bool inserted = false;
  uint32_t* known = codings.find(object.get(), inserted);
  if (!inserted) return *known;
  const size_t level = depth++;
  const uint32_t uid = add(Kind::Dictionary, 0);
  *known = uid;
  kept.push_back(object);
  std::vector<Entry>& entries = pending(level);
  ObjectCoder coder(*this, entries);
  object->encodeWithCoder(coder);
  const uint32_t cls = classUid(object->archiveClassName(), [&] { return object->archiveClassChain(); });
  put(entries, kClass, Held::Uid, cls);
  closeDictionary(uid, entries);
  --depth;
  return uid;
}

uint32_t Writer::encode(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
      return 0;
    case QMetaType::QString:
      return text(v.toString());
    case QMetaType::QByteArray:
      data.push_back(v.toByteArray());
      return add(Kind::Data, data.size() - 1);
    case QMetaType::Bool:
      return add(Kind::Boolean, v.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
      // Integers above the signed 64-bit range wrap: a binary property list stores signed 64-bit integers.
      return add(Kind::Integer, uint64_t(v.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
      return add(Kind::Real, bitsOf(v.toDouble()));
    case QMetaType::QDateTime: {
      const QDateTime date = v.toDateTime();
      if (!date.isValid()) return 0;
      const size_t level = depth++;
      const uint32_t uid = add(Kind::Dictionary, 0);
      put(pending(level), kTime, Held::Real,
          bitsOf(double(date.toMSecsSinceEpoch() - kPlistReferenceDateMSecs) / 1000.0));
      put(pending(level), kClass, Held::Uid, builtinClass(dateClass, "NSDate"));
      closeDictionary(uid, pending(level));
      --depth;
      return uid;
    }
    case QMetaType::QUrl: {
      const QUrl url = v.toUrl();
      if (url.isEmpty()) return 0;
      const size_t level = depth++;
      const uint32_t uid = add(Kind::Dictionary, 0);
      put(pending(level), kBase, Held::Uid, 0);
      put(pending(level), kRelative, Held::Uid, text(url.toString(QUrl::FullyEncoded)));
      put(pending(level), kClass, Held::Uid, builtinClass(urlClass, "NSURL"));
      closeDictionary(uid, pending(level));
      --depth;
      return uid;
    }
    case QMetaType::QStringList:
    case QMetaType::QVariantList:
      return encodeCollection(v, false);
    case QMetaType::QVariantMap:
      return encodeCollection(v, true);
    default:
      break;
  }
  if (const CodingPtr object = codingFromVariant(v)) return encodeCoding(object);
  ox::log(QStringLiteral("KeyedArchiver: cannot archive a value of type %1; written as nil")
              .arg(QString::fromLatin1(v.typeName())));
  return 0;
}

// Lays the archive out as its property list: the root dictionary, "$top", then "$objects" in UID order.
class Layout {
 public:
  explicit Layout(Writer& archive) : a(archive), w(archive.plist) {}

  QByteArray write() {
    using Ref = BinaryPlistWriter::Ref;
    const Ref root = w.beginDictionary();
    Ref keys[4], values[4];
    keys[0] = w.text(QStringLiteral("$archiver"));
    values[0] = w.text(QStringLiteral("NSKeyedArchiver"));
    keys[1] = w.text(QStringLiteral("$version"));
    values[1] = w.integer(100000);
    keys[2] = w.text(QStringLiteral("$top"));
    values[2] = dictionary(a.top.data(), a.top.size());
    keys[3] = w.text(QStringLiteral("$objects"));
    values[3] = w.beginArray();
    std::vector<Ref> elements;
    elements.reserve(a.objects.size());
    for (const Object& o : a.objects) elements.push_back(object(o));
    w.endArray(values[3], elements.data(), elements.size());
    w.endDictionary(root, keys, values, 4);
    return w.finish(root);
  }

 private:
  using Ref = BinaryPlistWriter::Ref;

  Ref object(const Object& o) {
    switch (o.kind) {
      case Kind::Text:
        return w.text(uint32_t(o.value));
      case Kind::Data:
        return w.data(a.data[o.value]);
      case Kind::Integer:
        return w.integer(o.value);
      case Kind::Real: {
        double d = 0;
        std::memcpy(&d, &o.value, sizeof d);
        return w.real(d);
      }
      case Kind::Boolean:
        return w.boolean(o.value != 0);
      case Kind::Dictionary:
        break;
    }
    return dictionary(a.entries.data() + o.value, o.count);
  }

  Ref dictionary(const Entry* entries, size_t count) {
    const Ref dict = w.beginDictionary();
    const size_t start = refs.size();
    refs.resize(start + 2 * count);
    for (size_t i = 0; i < count; ++i) {
      refs[start + i] = w.text(entries[i].key);
      refs[start + count + i] = held(entries[i]);
    }
    w.endDictionary(dict, refs.data() + start, refs.data() + start + count, count);
    refs.resize(start);
    return dict;
  }

  Ref held(const Entry& e) {
    switch (e.held) {
      case Held::Uid:
        return w.uid(e.value);
      case Held::Integer:
        return w.integer(e.value);
      case Held::Real: {
        double d = 0;
        std::memcpy(&d, &e.value, sizeof d);
        return w.real(d);
      }
      case Held::Boolean:
        return w.boolean(e.value != 0);
      case Held::Text:
        return w.text(uint32_t(e.value));
      case Held::Uids:
      case Held::Texts:
        break;
    }
    const Ref array = w.beginArray();
    const size_t first = size_t(e.value >> 32), count = size_t(e.value & 0xFFFFFFFFu);
    const size_t start = refs.size();
    for (size_t i = 0; i < count; ++i) {
      const uint32_t item = a.runs[first + i];
      refs.push_back(e.held == Held::Uids ? w.uid(item) : w.text(item));
    }
    w.endArray(array, refs.data() + start, count);
    refs.resize(start);
    return array;
  }

  Writer& a;
  BinaryPlistWriter& w;
  std::vector<Ref> refs;  // references of the containers under way
};

}  // namespace

struct KeyedArchiver::Impl : Writer {};

KeyedArchiver::KeyedArchiver() : d(std::make_unique<Impl>()) {}
KeyedArchiver::~KeyedArchiver() = default;

void KeyedArchiver::encodeObject(const QVariant& value, const QString& key) {
  if (d->finished) return;
  const uint32_t uid = d->encode(value);
  Writer::put(d->top, d->keyId(key), Held::Uid, uid);
}
void KeyedArchiver::encodeInt64(qint64 value, const QString& key) {
  if (!d->finished) Writer::put(d->top, d->keyId(key), Held::Integer, uint64_t(value));
}
void KeyedArchiver::encodeDouble(double value, const QString& key) {
  if (!d->finished) Writer::put(d->top, d->keyId(key), Held::Real, bitsOf(value));
}
void KeyedArchiver::encodeFloat(float value, const QString& key) { encodeDouble(double(value), key); }
void KeyedArchiver::encodeBool(bool value, const QString& key) {
  if (!d->finished) Writer::put(d->top, d->keyId(key), Held::Boolean, value);
}

QByteArray KeyedArchiver::finish() {
  if (d->finished) return {};
  d->finished = true;
  const QByteArray out = Layout(*d).write();
  d->kept.clear();
  return out;
}

QByteArray archivedDataWithRootObject(const QVariant& value, const QString& key) {
  KeyedArchiver archiver;
  archiver.encodeObject(value, key);
  return archiver.finish();
}

}  // namespace ox
