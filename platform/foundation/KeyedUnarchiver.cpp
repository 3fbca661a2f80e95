// The reading side of KeyedArchiver.h: the unarchiver and the registry of the system's archived classes.
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/BinaryPlistCheck.h"
#include "platform/foundation/BinaryPlistReader.h"
#include "platform/foundation/KeyCache.h"
#include "platform/foundation/KeyedArchiveKeys.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/TextIds.h"

namespace ox {
namespace {

constexpr int kMaxObjectDepth = 256;  // objects nested through UIDs
// A list or dictionary that several objects share is written out again for each of them. What the shares add, in
// objects, stays within a multiple of the archive's own: a few lists that each hold the next twice would otherwise
// expand without end.
constexpr uint64_t kSharedExpansionPerObject = 4;
constexpr uint64_t kSharedExpansionFloor = 1 << 16;

struct ClassRegistry {
  std::mutex lock;
  QHash<QString, DecodeFactory> factories;
  static ClassRegistry& shared() {
    static ClassRegistry registry;
    return registry;
  }
  DecodeFactory find(const QString& name) {
    std::lock_guard<std::mutex> hold(lock);
    return factories.value(name);
  }
};

}  // namespace

void registerArchiveClass(const QString& className, DecodeFactory factory) {
  ClassRegistry& registry = ClassRegistry::shared();
  std::lock_guard<std::mutex> hold(registry.lock);
  registry.factories.insert(className, std::move(factory));
}

namespace {

using Ref = BinaryPlistReader::Ref;
using Type = BinaryPlistReader::Type;
using Container = BinaryPlistReader::Container;
using Object = BinaryPlistReader::Object;

enum class Builtin { None, Array, Dictionary, String, Data, Date, Url };

struct ClassInfo {
  bool sound = false;  // a class dictionary with a name
  QString name;
  Builtin builtin = Builtin::None;
  DecodeFactory factory;
};

Builtin builtinNamed(const QString& name) {
  if (name == QLatin1String("NSArray") || name == QLatin1String("NSMutableArray")) return Builtin::Array;
  if (name == QLatin1String("NSDictionary") || name == QLatin1String("NSMutableDictionary")) return Builtin::Dictionary;
  if (name == QLatin1String("NSString") || name == QLatin1String("NSMutableString")) return Builtin::String;
  if (name == QLatin1String("NSData") || name == QLatin1String("NSMutableData")) return Builtin::Data;
  if (name == QLatin1String("NSDate")) return Builtin::Date;
  if (name == QLatin1String("NSURL")) return Builtin::Url;
  return Builtin::None;
}

// Reads the archive's objects straight from the property list's bytes, each once, in the order they are asked for.
struct Reader {
  QByteArray bytes;
  std::unique_ptr<BinaryPlistReader> plist;
  Container top, objects;
  std::vector<QVariant> decoded;  // one decoded value per UID, so that an object referenced twice is one object
  // 0 not decoded, 1 being decoded (seeing it again is a cycle), 2 decoded, 3 a scalar met once (not kept)
  std::vector<uint8_t> state;
  // Of a decoded list or dictionary: the objects it is written as, its elements' own included; 0 for anything else.
  std::vector<uint32_t> weight;
  uint64_t expansion = 0, expansionBudget = 0;  // objects that shared lists and dictionaries add, and their bound
  QHash<int, QVariant> rootValues;  // a root key asked for again is no second reference
  int depth = 0;
  bool valid = false;
  bool failed = false;            // hostile content met while decoding: the archive is invalid from then on
  QString loss;                   // the first value a reader passed over (see firstLoss)

  // Keys meet as small numbers: the archive's key texts (by their object) and the callers' keys map to one id each.
  QHash<QByteArray, int> keyIds;
  KeyCache keyCache;
  TextIds callerKeys;
  std::vector<int> keyOfCallerKey;  // by the id among callerKeys
  std::vector<int> keyOfRef;
  int kClass = 0, kClassname = 0, kObjects = 0, kKeys = 0, kString = 0, kData = 0, kTime = 0, kBase = 0,
      kRelative = 0;
  QHash<quint64, ClassInfo> classes;

  bool usable() const { return valid && !failed; }
  void noteLoss(const QString& why) {
    if (loss.isEmpty()) loss = why;
  }
  QVariant fail(const QString& why) {
    if (!failed) ox::log(QStringLiteral("KeyedUnarchiver: invalid archive: ") + why);
    failed = true;
    return {};
  }

  int idOf(const QByteArray& archiveForm) {
    const auto it = keyIds.constFind(archiveForm);
    if (it != keyIds.constEnd()) return *it;
    const int id = int(keyIds.size());
    keyIds.insert(archiveForm, id);
    return id;
  }
  int callerKeyId(const QString& key) {
    const uint32_t cached = keyCache.find(key);
    if (cached != KeyCache::kNone) return int(cached);
    const uint32_t caller = callerKeys.id(key);
    if (caller >= keyOfCallerKey.size()) keyOfCallerKey.resize(caller + 1, -1);
    int& id = keyOfCallerKey[caller];
    if (id < 0) id = idOf(archiveKey(key).toUtf8());
    keyCache.insert(key, uint32_t(id));
    return id;
  }
  int keyOf(Ref ref) {
    int& id = keyOfRef[ref];
    if (id < 0) id = idOf(plist->textUtf8(ref));
    return id;
  }
  // Entries are mostly asked for in the order they were written, so the search goes on from the last one found.
  bool find(const Container& dict, int key, uint64_t& hint, Ref& out) {
    for (uint64_t j = 0; j < dict.count; ++j) {
      uint64_t i = hint + j;
      if (i >= dict.count) i -= dict.count;
      if (keyOf(plist->key(dict, i)) == key) {
        hint = i + 1;
        out = plist->value(dict, i);
        return true;
      }
    }
    return false;
  }
  QVariant field(const Container& dict, int key, uint64_t& hint) {
    Ref ref = 0;
    return find(dict, key, hint, ref) ? value(ref) : QVariant();
  }

  QVariant value(Ref ref);
  QVariant value(const Object& o);
  // The text or data a UID names, read as object() reads it but without a QVariant between: true with `out` set
  // (empty for nil, or for a kept value of another kind), false where object() has to decide.
  template <class T>
  bool leaf(uint64_t uid, Type type, T& out);
  void read(const Object& o, QString& out) const { out = plist->text(o); }
  void read(const Object& o, QByteArray& out) const { out = plist->data(o); }
  QVariant object(uint64_t uid);
  // `written`: the objects a list or dictionary built is written as (see weight), else 0.
  QVariant build(const Object& o, uint64_t& written);
  const ClassInfo& classOf(quint64 uid);
  QVariant buildBuiltin(Builtin builtin, const Container& dict, uint64_t& written);
  bool uidList(const Container& dict, int key, QVariantList& out, uint64_t& written);
};

// The decoder given to a factory of the system's classes: reads one object's dictionary.
class ObjectDecoder final : public Decoder {
 public:
  // `classEntry`: the position of the "$class" entry, read by the archive itself.
  ObjectDecoder(Reader& archive, const Container& dict, const QString& className, uint64_t classEntry)
      : a(archive), dict(dict), className(className) {
    markRead(classEntry);
  }
  bool containsValue(const QString& key) const override {
    Ref ref = 0;
    return a.usable() && found(key, ref);
  }
  QVariant decodeObject(const QString& key) const override {
    Ref ref = 0;
    return a.usable() && found(key, ref) ? a.value(ref) : QVariant();
  }
  QString decodeString(const QString& key) const override { return leafOf<QString>(key, Type::Text); }
  QByteArray decodeData(const QString& key) const override { return leafOf<QByteArray>(key, Type::Data); }
  qint64 decodeInt64(const QString& key) const override;
  double decodeDouble(const QString& key) const override;
  float decodeFloat(const QString& key) const override;
  bool decodeBool(const QString& key) const override { return decodeDouble(key) != 0.0; }
  // After the class has read the object: a key it never asked for would be lost when the object is written again.
  void noteKeysNotRead() const;
  void noteMismatch(const QString& key) const override {
    a.noteLoss(QStringLiteral("\"%1\" of a %2 holds a value of another kind").arg(key, className));
  }

 private:
  bool found(const QString& key, Ref& ref) const {
    if (!a.find(dict, a.callerKeyId(key), hint, ref)) return false;
    markRead(hint - 1);
    return true;
  }
  void markRead(uint64_t entry) const {
    if (entry < 64)
      read |= uint64_t(1) << entry;
    else
      readBeyond.insert(entry);
  }
  // What decodeObject and a type test would give, the common cases read straight from the archive.
  template <class T>
  T leafOf(const QString& key, Type type) const {
    Ref ref = 0;
    if (!a.usable() || !found(key, ref)) return T();
    const Object o = a.plist->object(ref);
    T out;
    if (o.type == type) {
      a.read(o, out);
      return out;
    }
    if (o.type == Type::Uid && a.leaf(a.plist->uid(o), type, out)) return out;
    const QVariant v = a.value(o);
    if (v.metaType() == QMetaType::fromType<T>()) return v.value<T>();
    if (v.isValid()) noteMismatch(key);
    return T();
  }
  // A number stored in the dictionary itself, read without a QVariant; anything else as decodeObject gives it.
  template <class N>
  N number(const QString& key, N (*fromReal)(double), N (*convert)(const QVariant&)) const {
    Ref ref = 0;
    if (!a.usable() || !found(key, ref)) return N();
    const Object o = a.plist->object(ref);
    switch (o.type) {
      case Type::Integer:
        return N(a.plist->integer(o));
      case Type::Real: {
        const double real = a.plist->real(o);
        const N n = fromReal(real);
        if (double(n) != real) noteMismatch(key);  // a fraction, or a number out of the field's range
        return n;
      }
      case Type::Boolean:
        return N(a.plist->boolean(o) ? 1 : 0);
      default: {
        const QVariant v = a.value(o);
        const int kind = v.typeId();
        if (v.isValid() && kind != QMetaType::LongLong && kind != QMetaType::Double && kind != QMetaType::Bool)
          noteMismatch(key);
        return convert(v);
      }
    }
  }

  Reader& a;
  Container dict;
  QString className;
  mutable uint64_t hint = 0;
  // The entries found for the class: the first 64 by bit, any further ones by position.
  mutable uint64_t read = 0;
  mutable QSet<uint64_t> readBeyond;
};

void ObjectDecoder::noteKeysNotRead() const {
  for (uint64_t i = 0; i < dict.count; ++i) {
    if (i < 64 ? (read >> i & 1) != 0 : readBeyond.contains(i)) continue;
    const Ref key = a.plist->key(dict, i);
    a.noteLoss(QStringLiteral("a %1 holds \"%2\", which it does not read").arg(className, a.plist->text(key)));
    return;
  }
}

qint64 int64OfReal(double d) { return std::isfinite(d) && std::fabs(d) < 9.2e18 ? qint64(d) : 0; }
double realOfReal(double d) { return d; }

qint64 toInt64(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Bool:
      return v.toLongLong();
    case QMetaType::Double:
      return int64OfReal(v.toDouble());
    default:
      return 0;
  }
}
double toDouble(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Bool:
    case QMetaType::Double:
      return v.toDouble();
    default:
      return 0.0;
  }
}

// Out of a float's range is infinity, as the platform's conversion gives (a plain cast would be undefined).
float toFloat(double d) {
  constexpr double kMax = std::numeric_limits<float>::max();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  return d > kMax ? kInf : d < -kMax ? -kInf : float(d);
}

qint64 ObjectDecoder::decodeInt64(const QString& key) const { return number<qint64>(key, int64OfReal, toInt64); }
double ObjectDecoder::decodeDouble(const QString& key) const { return number<double>(key, realOfReal, toDouble); }
float ObjectDecoder::decodeFloat(const QString& key) const { return toFloat(decodeDouble(key)); }

// A value stored under a key: a UID names an object; numbers, booleans, text and data stand as they are.
QVariant Reader::value(Ref ref) { return value(plist->object(ref)); }

QVariant Reader::value(const Object& o) {
  switch (o.type) {
    case Type::Uid:
      return object(plist->uid(o));
    case Type::Boolean:
      return plist->boolean(o);
    case Type::Integer:
      return plist->integer(o);
    case Type::Real:
      return plist->real(o);
    case Type::Text:
      return plist->text(o);
    case Type::Data:
      return plist->data(o);
    default:
      return fail(QStringLiteral("a value of an unexpected kind"));
  }
}

QVariant Reader::object(uint64_t uid) {
  if (failed) return {};
  if (uid == 0) return {};  // "$null"
  if (uid >= objects.count) return fail(QStringLiteral("UID %1 out of range").arg(uid));
  if (state[uid] == 2) {
    // Each holder of a shared value gets it. Saved again, a record or a text is written once whoever holds it, a
    // list or a dictionary once for each holder: that is what counts against the bound.
    expansion += weight[uid];
    if (expansion > expansionBudget) return fail(QStringLiteral("shared lists expand beyond the archive's bounds"));
    return decoded[uid];
  }
  if (state[uid] == 1) return fail(QStringLiteral("object %1 contains itself").arg(uid));
  if (depth >= kMaxObjectDepth) return fail(QStringLiteral("objects nested too deep"));
  // Texts, data and numbers hold nothing, so they cannot be part of a cycle: most are met once, and one is kept (and
  // shared) only when it is met again.
  const Object element = plist->object(plist->element(objects, uid));
  switch (element.type) {
    case Type::Text:
    case Type::Data:
    case Type::Integer:
    case Type::Real:
    case Type::Boolean:
      if (state[uid] != 3) {
        state[uid] = 3;
        return value(element);
      }
      decoded[uid] = value(element);
      state[uid] = 2;
      return decoded[uid];
    default:
      break;
  }
  state[uid] = 1;
  ++depth;
  uint64_t written = 0;
  QVariant v = build(element, written);
  --depth;
  state[uid] = 2;
  if (failed) return {};
  decoded[uid] = v;
  weight[uid] = uint32_t(std::min<uint64_t>(written, std::numeric_limits<uint32_t>::max()));
  return v;
}

template <class T>
bool Reader::leaf(uint64_t uid, Type type, T& out) {
  if (failed || uid >= objects.count) return false;
  if (uid == 0) {
    out = T();
    return true;
  }
  if (state[uid] == 2) {
    const QVariant& kept = decoded[uid];
    if (kept.isValid() && kept.metaType() != QMetaType::fromType<T>()) return false;  // the caller notes it
    out = kept.value<T>();
    return true;
  }
  if (state[uid] == 1 || depth >= kMaxObjectDepth) return false;
  const Object element = plist->object(plist->element(objects, uid));
  if (element.type != type) return false;
  read(element, out);
  if (state[uid] == 3) {
    decoded[uid] = QVariant::fromValue(out);
    state[uid] = 2;
  } else {
    state[uid] = 3;
  }
  return true;
}

const ClassInfo& Reader::classOf(quint64 uid) {
  auto it = classes.find(uid);
  if (it != classes.end()) return *it;
  ClassInfo info;
  if (uid < objects.count) {
    const Ref classDict = plist->element(objects, uid);
    Ref name = 0;
    uint64_t hint = 0;
    if (plist->type(classDict) == Type::Dictionary &&
        find(plist->container(classDict), kClassname, hint, name) && plist->type(name) == Type::Text) {
      info.sound = true;
      info.name = plist->text(name);
      info.builtin = builtinNamed(info.name);
      if (info.builtin == Builtin::None) info.factory = ClassRegistry::shared().find(info.name);
    }
  }
  return *classes.insert(uid, std::move(info));
}

QVariant Reader::build(const Object& o, uint64_t& written) {
  switch (o.type) {
    case Type::Text:
    case Type::Data:
    case Type::Integer:
    case Type::Real:
    case Type::Boolean:
      return value(o);
    case Type::Dictionary:
      break;
    default:
      return fail(QStringLiteral("an object of an unexpected kind"));
  }
  const Container dict = plist->container(o);
  Ref classRef = 0;
  uint64_t hint = dict.count ? dict.count - 1 : 0;  // written last
  if (!find(dict, kClass, hint, classRef)) return fail(QStringLiteral("an object without a class"));
  const Object cls = plist->object(classRef);
  if (cls.type != Type::Uid) return fail(QStringLiteral("an object without a class"));
  const ClassInfo& info = classOf(plist->uid(cls));
  if (!info.sound) return fail(QStringLiteral("a malformed class reference"));
  if (info.builtin != Builtin::None) return buildBuiltin(info.builtin, dict, written);
  if (!info.factory) return fail(QStringLiteral("unknown class \"%1\"").arg(info.name));
  const DecodeFactory factory = info.factory;  // the table may grow while the object decodes its own
  const QString className = info.name;
  ObjectDecoder decoder(*this, dict, className, hint - 1);
  CodingPtr made = factory(decoder);
  if (failed) return {};
  if (!made) noteLoss(QStringLiteral("a %1 that its class refused").arg(className));
  decoder.noteKeysNotRead();
  return wrapCoding(made);
}

bool Reader::uidList(const Container& dict, int key, QVariantList& out, uint64_t& written) {
  Ref array = 0;
  uint64_t hint = 0;
  if (!find(dict, key, hint, array) || plist->type(array) != Type::Array) {
    fail(QStringLiteral("a malformed collection"));
    return false;
  }
  const Container elements = plist->container(array);
  out.reserve(qsizetype(elements.count));
  for (uint64_t i = 0; i < elements.count; ++i) {
    const Object element = plist->object(plist->element(elements, i));
    if (element.type != Type::Uid) {
      fail(QStringLiteral("a collection element is not a UID"));
      return false;
    }
    const uint64_t uid = plist->uid(element);
    out.append(object(uid));
    if (failed) return false;
    written += uid == 0 ? 1 : std::max<uint32_t>(weight[uid], 1);
  }
  return true;
}

QVariant Reader::buildBuiltin(Builtin builtin, const Container& dict, uint64_t& written) {
  uint64_t hint = 0;
  switch (builtin) {
    case Builtin::Array: {
      QVariantList list;
      written = 1;
      return uidList(dict, kObjects, list, written) ? QVariant(list) : QVariant();
    }
    case Builtin::Dictionary: {
      QVariantList keys, values;
      written = 1;
      if (!uidList(dict, kKeys, keys, written) || !uidList(dict, kObjects, values, written)) return {};
      if (keys.size() != values.size()) return fail(QStringLiteral("dictionary keys and values differ in number"));
      QVariantMap map;
      for (qsizetype i = 0; i < keys.size(); ++i) {
        if (keys[i].typeId() != QMetaType::QString) return fail(QStringLiteral("a dictionary key is not text"));
        if (map.contains(keys[i].toString())) noteLoss(QStringLiteral("a dictionary that holds a key twice"));
        map.insert(keys[i].toString(), values[i]);
      }
      return map;
    }
    case Builtin::String: {
      const QVariant v = field(dict, kString, hint);
      return v.typeId() == QMetaType::QString ? v : fail(QStringLiteral("a malformed string"));
    }
    case Builtin::Data: {
      const QVariant v = field(dict, kData, hint);
      return v.typeId() == QMetaType::QByteArray ? v : fail(QStringLiteral("a malformed data object"));
    }
    case Builtin::Date: {
      const QVariant v = field(dict, kTime, hint);
      const double seconds = toDouble(v);
      // Within about ±30,000 years, which QDateTime holds.
      if ((v.typeId() != QMetaType::Double && v.typeId() != QMetaType::LongLong) || !std::isfinite(seconds) ||
          std::fabs(seconds) > 1e12)
        return fail(QStringLiteral("a malformed date"));
      return QDateTime::fromMSecsSinceEpoch(kPlistReferenceDateMSecs + qint64(std::llround(seconds * 1000.0)),
                                            Qt::UTC);
    }
    case Builtin::Url: {
      const QVariant base = field(dict, kBase, hint);
      const QVariant relative = field(dict, kRelative, hint);
      if (failed) return {};
      if ((base.isValid() && base.typeId() != QMetaType::QUrl) || relative.typeId() != QMetaType::QString)
        return fail(QStringLiteral("a malformed URL"));
      const QUrl url(relative.toString());
      // The writer writes a URL's fully encoded form, which reads back as itself, and an empty URL as nil: other
      // text was damaged, and would be written back changed (an unparsable or empty one not at all).
      if (!base.isValid() && (url.isEmpty() || url.toString(QUrl::FullyEncoded) != relative.toString()))
        noteLoss(QStringLiteral("a URL that does not read as it is stored"));
      return base.isValid() ? base.toUrl().resolved(url) : url;
    }
    case Builtin::None:
      break;
  }
  return {};
}

}  // namespace

struct KeyedUnarchiver::Impl : Reader {};

KeyedUnarchiver::KeyedUnarchiver(const QByteArray& data) : d(std::make_unique<Impl>()) {
  bool altered = false;
  const QString problem = checkBinaryPlist(data, &altered);
  if (!problem.isEmpty()) {
    d->fail(problem);
    return;
  }
  if (altered) d->noteLoss(QStringLiteral("a text that does not read as it is stored"));
  d->bytes = data;
  d->plist = std::make_unique<BinaryPlistReader>(d->bytes);
  const BinaryPlistReader& plist = *d->plist;
  Ref archiver = 0, version = 0, top = 0, objects = 0;
  const bool sound = plist.type(plist.top()) == Type::Dictionary && [&] {
    const Container root = plist.container(plist.top());
    return plist.find(root, "$archiver", archiver) && plist.find(root, "$version", version) &&
           plist.find(root, "$top", top) && plist.find(root, "$objects", objects);
  }();
  if (!sound || plist.type(archiver) != Type::Text || !plist.textEquals(archiver, "NSKeyedArchiver") ||
      plist.type(version) != Type::Integer || plist.integer(version) != 100000 ||
      plist.type(top) != Type::Dictionary || plist.type(objects) != Type::Array) {
    d->fail(QStringLiteral("not a keyed archive"));
    return;
  }
  d->top = plist.container(top);
  d->objects = plist.container(objects);
  d->keyOfRef.assign(size_t(plist.objectCount()), -1);
  d->kClass = d->idOf("$class");
  d->kClassname = d->idOf("$classname");
  d->kObjects = d->idOf("NS.objects");
  d->kKeys = d->idOf("NS.keys");
  d->kString = d->idOf("NS.string");
  d->kData = d->idOf("NS.data");
  d->kTime = d->idOf("NS.time");
  d->kBase = d->idOf("NS.base");
  d->kRelative = d->idOf("NS.relative");
  d->decoded.resize(size_t(d->objects.count));
  d->state.assign(size_t(d->objects.count), 0);
  d->weight.assign(size_t(d->objects.count), 0);
  d->expansionBudget = kSharedExpansionFloor + kSharedExpansionPerObject * d->objects.count;
  d->valid = true;
}

KeyedUnarchiver::~KeyedUnarchiver() = default;

bool KeyedUnarchiver::isValid() const { return d->usable(); }

QString KeyedUnarchiver::firstLoss() const { return d->loss; }

QString KeyedUnarchiver::unreachedObjects() const {
  if (!d->usable()) return {};
  const BinaryPlistReader& plist = *d->plist;
  const uint64_t count = d->objects.count;
  // What decoding took was reached from the top: once every object was taken (a whole load), nothing is left to walk.
  std::vector<uint8_t> reached(d->state);
  for (auto it = d->classes.cbegin(); it != d->classes.cend(); ++it)
    if (it.key() < count) reached[it.key()] = 1;
  if (count > 0) reached[0] = 1;  // "$null"
  if (std::find(reached.begin(), reached.end(), 0) == reached.end()) return {};
  reached.assign(size_t(count), 0);
  std::vector<uint64_t> pending;
  const auto reach = [&](Ref ref) {
    const auto mark = [&](const Object& o) {
      if (o.type != Type::Uid) return;
      const uint64_t uid = plist.uid(o);
      if (uid >= count || reached[uid]) return;  // out of range: the decoding refuses it where it matters
      reached[uid] = 1;
      pending.push_back(uid);
    };
    const Object o = plist.object(ref);
    if (o.type != Type::Array) return mark(o);
    // An array of UIDs ("NS.objects", "NS.keys"). Shared arrays are scanned once per holder: the property list's
    // check bounds what its objects expand to, and that bounds this walk.
    const Container elements = plist.container(o);
    for (uint64_t i = 0; i < elements.count; ++i) mark(plist.object(plist.element(elements, i)));
  };
  reached[0] = 1;
  for (uint64_t i = 0; i < d->top.count; ++i) reach(plist.value(d->top, i));
  while (!pending.empty()) {
    const Ref object = plist.element(d->objects, pending.back());
    pending.pop_back();
    if (plist.type(object) != Type::Dictionary) {
      reach(object);
      continue;
    }
    const Container entries = plist.container(object);
    for (uint64_t i = 0; i < entries.count; ++i) reach(plist.value(entries, i));
  }
  const auto first = std::find(reached.begin(), reached.end(), 0);
  if (first == reached.end()) return {};
  const auto end = std::find(first, reached.end(), 1);
  const qint64 from = first - reached.begin(), to = end - reached.begin() - 1;
  return QStringLiteral("%1 of its %2 objects are reached from nothing, first %3")
      .arg(std::count(reached.begin(), reached.end(), 0))
      .arg(count)
      .arg(from == to ? QStringLiteral("object %1").arg(from) : QStringLiteral("objects %1-%2").arg(from).arg(to));
}

void KeyedUnarchiver::noteMismatch(const QString& key) const {
  d->noteLoss(QStringLiteral("root key \"%1\" holds a value of another kind").arg(key));
}

QStringList KeyedUnarchiver::rootKeys() const {
  QStringList keys;
  if (!d->usable()) return keys;
  for (uint64_t i = 0; i < d->top.count; ++i) keys.append(callerKey(d->plist->text(d->plist->key(d->top, i))));
  return keys;
}

bool KeyedUnarchiver::containsValue(const QString& key) const {
  Ref ref = 0;
  uint64_t hint = 0;
  return d->usable() && d->find(d->top, d->callerKeyId(key), hint, ref);
}

QVariant KeyedUnarchiver::decodeObject(const QString& key) const {
  if (!d->usable()) return {};
  const int id = d->callerKeyId(key);
  if (const auto known = d->rootValues.constFind(id); known != d->rootValues.constEnd()) return *known;
  uint64_t hint = 0;
  const QVariant v = d->field(d->top, id, hint);
  if (d->failed) return {};
  d->rootValues.insert(id, v);
  return v;
}
qint64 KeyedUnarchiver::decodeInt64(const QString& key) const { return toInt64(decodeObject(key)); }
double KeyedUnarchiver::decodeDouble(const QString& key) const { return toDouble(decodeObject(key)); }
float KeyedUnarchiver::decodeFloat(const QString& key) const { return toFloat(decodeDouble(key)); }
bool KeyedUnarchiver::decodeBool(const QString& key) const { return decodeDouble(key) != 0.0; }

QVariant unarchiveRootObject(const QByteArray& data, const QString& key) {
  return KeyedUnarchiver(data).decodeObject(key);
}

}  // namespace ox
