#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/PropertyList.h"

#include <plist/plist.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUrl>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include "platform/foundation/BinaryPlistCheck.h"
#include "platform/foundation/BinaryPlistWriter.h"
#include "platform/foundation/Log.h"

namespace ox {
namespace {

constexpr int kMaxObjectDepth = 256;                     // objects nested through UIDs

// Keys of the archive's own ("$class", "$classname", ...) begin with "$"; a caller's key that does too gets one more.
QByteArray archiveKey(const QString& key) {
  return (key.startsWith(QLatin1Char('$')) ? QLatin1Char('$') + key : key).toUtf8();
}
QString callerKey(const char* key) {
  const QString text = QString::fromUtf8(key);
  return text.startsWith(QLatin1String("$$")) ? text.mid(1) : text;
}

QString textOf(plist_t node) {
  uint64_t length = 0;
  const char* text = plist_get_string_ptr(node, &length);
  return text ? QString::fromUtf8(text, qsizetype(length)) : QString();
}

// The elements of an array in one pass: libplist 2.2 finds an element by its index by walking from the first one.
std::vector<plist_t> elements(plist_t array) {
  std::vector<plist_t> out;
  plist_array_iter it = nullptr;
  plist_array_new_iter(array, &it);
  for (plist_t element = nullptr;;) {
    plist_array_next_item(array, it, &element);
    if (!element) break;
    out.push_back(element);
  }
  std::free(it);
  return out;
}

plist_t item(plist_t dict, const char* key) {
  return plist_get_node_type(dict) == PLIST_DICT ? plist_dict_get_item(dict, key) : nullptr;
}

// The registry of the system's own archived classes.
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

// ---------------------------------------------------------------------------------------------------------------------
// Values

QVariant wrapCoding(const CodingPtr& object) { return object ? QVariant::fromValue(object) : QVariant(); }

CodingPtr codingFromVariant(const QVariant& value) {
  return value.metaType() == QMetaType::fromType<CodingPtr>() ? value.value<CodingPtr>() : nullptr;
}

QString Decoder::decodeString(const QString& key) const {
  const QVariant v = decodeObject(key);
  return v.typeId() == QMetaType::QString ? v.toString() : QString();
}
QByteArray Decoder::decodeData(const QString& key) const {
  const QVariant v = decodeObject(key);
  return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
}
QUrl Decoder::decodeUrl(const QString& key) const {
  const QVariant v = decodeObject(key);
  return v.typeId() == QMetaType::QUrl ? v.toUrl() : QUrl();
}
QVariantList Decoder::decodeList(const QString& key) const {
  const QVariant v = decodeObject(key);
  return v.typeId() == QMetaType::QVariantList ? v.toList() : QVariantList();
}
QVariantMap Decoder::decodeMap(const QString& key) const {
  const QVariant v = decodeObject(key);
  return v.typeId() == QMetaType::QVariantMap ? v.toMap() : QVariantMap();
}

void registerArchiveClass(const QString& className, DecodeFactory factory) {
  ClassRegistry& registry = ClassRegistry::shared();
  std::lock_guard<std::mutex> hold(registry.lock);
  registry.factories.insert(className, std::move(factory));
}

// ---------------------------------------------------------------------------------------------------------------------
// Archiving

namespace {

struct Writer {
  plist_t objects = plist_new_array();  // "$objects"
  plist_t top = plist_new_dict();       // "$top"
  QHash<QString, uint64_t> strings;     // equal texts are stored once
  QHash<QString, uint64_t> classes;     // one class dictionary per class
  std::unordered_map<const Coding*, uint64_t> codings;
  std::vector<CodingPtr> kept;          // keeps encoded objects (and so their addresses) alive until the end
  uint64_t count = 0;                   // entries of "$objects"
  bool finished = false;

  Writer() { append(plist_new_string("$null")); }
  ~Writer() {
    if (!finished) {
      plist_free(objects);
      plist_free(top);
    }
  }

  uint64_t append(plist_t node) {
    plist_array_append_item(objects, node);
    return count++;
  }
  static void set(plist_t dict, const QString& key, plist_t value) {
    plist_dict_set_item(dict, archiveKey(key).constData(), value);
  }
  uint64_t text(const QString& s) {
    auto it = strings.constFind(s);
    if (it != strings.constEnd()) return *it;
    return strings[s] = append(plist_new_string(s.toUtf8().constData()));
  }
  uint64_t classUid(const QStringList& chain) {
    auto it = classes.constFind(chain.value(0));
    if (it != classes.constEnd()) return *it;
    plist_t dict = plist_new_dict();
    plist_t names = plist_new_array();
    for (const QString& name : chain) plist_array_append_item(names, plist_new_string(name.toUtf8().constData()));
    plist_dict_set_item(dict, "$classes", names);
    plist_dict_set_item(dict, "$classname", plist_new_string(chain.value(0).toUtf8().constData()));
    return classes[chain.value(0)] = append(dict);
  }
  // An object dictionary: its UID is taken before its contents are encoded, and "$class" follows them.
  plist_t objectDict(uint64_t& uid) {
    plist_t dict = plist_new_dict();
    uid = append(dict);
    return dict;
  }
  void finishObject(plist_t dict, const QStringList& chain) {
    plist_dict_set_item(dict, "$class", plist_new_uid(classUid(chain)));
  }
  plist_t uidArray(const QVariantList& values) {
    std::vector<uint64_t> uids;
    uids.reserve(size_t(values.size()));
    for (const QVariant& v : values) uids.push_back(encode(v));
    plist_t array = plist_new_array();
    for (uint64_t uid : uids) plist_array_append_item(array, plist_new_uid(uid));
    return array;
  }

  uint64_t encode(const QVariant& v);
};

// The coder given to an object of the system: writes into its dictionary.
class ObjectCoder final : public Coder {
 public:
  ObjectCoder(Writer& archive, plist_t dict) : a(archive), dict(dict) {}
  void encodeObject(const QVariant& value, const QString& key) override {
    const uint64_t uid = a.encode(value);
    a.set(dict, key, plist_new_uid(uid));
  }
  void encodeInt64(qint64 value, const QString& key) override { a.set(dict, key, plist_new_uint(uint64_t(value))); }
  void encodeDouble(double value, const QString& key) override { a.set(dict, key, plist_new_real(value)); }
  void encodeFloat(float value, const QString& key) override { a.set(dict, key, plist_new_real(value)); }
  void encodeBool(bool value, const QString& key) override { a.set(dict, key, plist_new_bool(value)); }

 private:
  Writer& a;
  plist_t dict;
};

uint64_t Writer::encode(const QVariant& v) {
  uint64_t uid = 0;
  switch (v.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
      return 0;
    case QMetaType::QString:
      return text(v.toString());
    case QMetaType::QByteArray:
      return append(plist_new_data(v.toByteArray().constData(), uint64_t(v.toByteArray().size())));
    case QMetaType::Bool:
      return append(plist_new_bool(v.toBool()));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
      // Integers above the signed 64-bit range wrap: a binary property list stores signed 64-bit integers.
      return append(plist_new_uint(uint64_t(v.toLongLong())));
    case QMetaType::Double:
    case QMetaType::Float:
      return append(plist_new_real(v.toDouble()));
    case QMetaType::QDateTime: {
      const QDateTime date = v.toDateTime();
      if (!date.isValid()) return 0;
      plist_t dict = objectDict(uid);
      set(dict, QStringLiteral("NS.time"),
          plist_new_real(double(date.toMSecsSinceEpoch() - kPlistReferenceDateMSecs) / 1000.0));
      finishObject(dict, {QStringLiteral("NSDate"), QStringLiteral("NSObject")});
      return uid;
    }
    case QMetaType::QUrl: {
      const QUrl url = v.toUrl();
      if (url.isEmpty()) return 0;
      plist_t dict = objectDict(uid);
      set(dict, QStringLiteral("NS.base"), plist_new_uid(0));
      set(dict, QStringLiteral("NS.relative"), plist_new_uid(text(url.toString(QUrl::FullyEncoded))));
      finishObject(dict, {QStringLiteral("NSURL"), QStringLiteral("NSObject")});
      return uid;
    }
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
      plist_t dict = objectDict(uid);
      set(dict, QStringLiteral("NS.objects"), uidArray(v.toList()));
      finishObject(dict, {QStringLiteral("NSArray"), QStringLiteral("NSObject")});
      return uid;
    }
    case QMetaType::QVariantMap: {
      const QVariantMap map = v.toMap();
      plist_t dict = objectDict(uid);
      QVariantList keys;
      for (const QString& key : map.keys()) keys.append(key);
      set(dict, QStringLiteral("NS.keys"), uidArray(keys));
      set(dict, QStringLiteral("NS.objects"), uidArray(map.values()));
      finishObject(dict, {QStringLiteral("NSDictionary"), QStringLiteral("NSObject")});
      return uid;
    }
    default:
      break;
  }
  if (const CodingPtr object = codingFromVariant(v)) {
    auto it = codings.find(object.get());
    if (it != codings.end()) return it->second;
    plist_t dict = objectDict(uid);
    codings[object.get()] = uid;
    kept.push_back(object);
    ObjectCoder coder(*this, dict);
    object->encodeWithCoder(coder);
    finishObject(dict, object->archiveClassChain());
    return uid;
  }
  ox::log(QStringLiteral("KeyedArchiver: cannot archive a value of type %1; written as nil")
              .arg(QString::fromLatin1(v.typeName())));
  return 0;
}

}  // namespace

struct KeyedArchiver::Impl : Writer {};

KeyedArchiver::KeyedArchiver() : d(std::make_unique<Impl>()) {}
KeyedArchiver::~KeyedArchiver() = default;

void KeyedArchiver::encodeObject(const QVariant& value, const QString& key) {
  if (d->finished) return;
  const uint64_t uid = d->encode(value);
  d->set(d->top, key, plist_new_uid(uid));
}
void KeyedArchiver::encodeInt64(qint64 value, const QString& key) {
  if (!d->finished) d->set(d->top, key, plist_new_uint(uint64_t(value)));
}
void KeyedArchiver::encodeDouble(double value, const QString& key) {
  if (!d->finished) d->set(d->top, key, plist_new_real(value));
}
void KeyedArchiver::encodeFloat(float value, const QString& key) {
  if (!d->finished) d->set(d->top, key, plist_new_real(value));
}
void KeyedArchiver::encodeBool(bool value, const QString& key) {
  if (!d->finished) d->set(d->top, key, plist_new_bool(value));
}

QByteArray KeyedArchiver::finish() {
  if (d->finished) return {};
  d->finished = true;
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "$archiver", plist_new_string("NSKeyedArchiver"));
  plist_dict_set_item(root, "$version", plist_new_uint(100000));
  plist_dict_set_item(root, "$top", d->top);
  plist_dict_set_item(root, "$objects", d->objects);
  const QByteArray out = writeBinaryPlist(root);
  plist_free(root);
  d->kept.clear();
  d->codings.clear();
  return out;
}

// ---------------------------------------------------------------------------------------------------------------------
// Unarchiving

namespace {

struct Reader {
  plist_t root = nullptr;
  plist_t top = nullptr;
  std::vector<plist_t> objects;   // "$objects", by UID
  std::vector<QVariant> decoded;  // one decoded value per UID, so that an object referenced twice is one object
  std::vector<uint8_t> state;     // 0 not decoded, 1 being decoded (seeing it again is a cycle), 2 decoded
  int depth = 0;
  bool valid = false;
  bool failed = false;            // hostile content met while decoding: the archive is invalid from then on

  ~Reader() { plist_free(root); }

  bool usable() const { return valid && !failed; }
  QVariant fail(const QString& why) {
    if (!failed) ox::log(QStringLiteral("KeyedUnarchiver: invalid archive: ") + why);
    failed = true;
    return {};
  }

  QVariant field(plist_t dict, const QString& key) {
    return value(plist_dict_get_item(dict, archiveKey(key).constData()));
  }
  QVariant value(plist_t node);
  QVariant object(uint64_t uid);
  QVariant build(plist_t node);
  QVariant buildBuiltin(const QString& name, plist_t dict, bool& known);
  bool uidList(plist_t array, QVariantList& out);
};

// The decoder given to a factory of the system's classes: reads one object's dictionary.
class ObjectDecoder final : public Decoder {
 public:
  ObjectDecoder(Reader& archive, plist_t dict) : a(archive), dict(dict) {}
  bool containsValue(const QString& key) const override {
    return a.usable() && plist_dict_get_item(dict, archiveKey(key).constData()) != nullptr;
  }
  QVariant decodeObject(const QString& key) const override { return a.usable() ? a.field(dict, key) : QVariant(); }
  qint64 decodeInt64(const QString& key) const override;
  double decodeDouble(const QString& key) const override;
  float decodeFloat(const QString& key) const override;
  bool decodeBool(const QString& key) const override { return decodeDouble(key) != 0.0; }

 private:
  Reader& a;
  plist_t dict;
};

qint64 toInt64(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Bool:
      return v.toLongLong();
    case QMetaType::Double: {
      const double d = v.toDouble();
      return std::isfinite(d) && std::fabs(d) < 9.2e18 ? qint64(d) : 0;
    }
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

qint64 ObjectDecoder::decodeInt64(const QString& key) const { return toInt64(decodeObject(key)); }
double ObjectDecoder::decodeDouble(const QString& key) const { return toDouble(decodeObject(key)); }
float ObjectDecoder::decodeFloat(const QString& key) const { return toFloat(decodeDouble(key)); }

// A value stored under a key: a UID names an object; numbers, booleans, text and data stand as they are.
QVariant Reader::value(plist_t node) {
  if (!node) return {};
  switch (plist_get_node_type(node)) {
    case PLIST_UID: {
      uint64_t uid = 0;
      plist_get_uid_val(node, &uid);
      return object(uid);
    }
    case PLIST_BOOLEAN:
    case PLIST_UINT:
    case PLIST_REAL:
    case PLIST_STRING:
    case PLIST_DATA:
      return plistScalar(node);
    default:
      return fail(QStringLiteral("a value of an unexpected kind"));
  }
}

QVariant Reader::object(uint64_t uid) {
  if (failed) return {};
  if (uid == 0) return {};  // "$null"
  if (uid >= objects.size()) return fail(QStringLiteral("UID %1 out of range").arg(uid));
  if (state[uid] == 2) return decoded[uid];
  if (state[uid] == 1) return fail(QStringLiteral("object %1 contains itself").arg(uid));
  if (depth >= kMaxObjectDepth) return fail(QStringLiteral("objects nested too deep"));
  state[uid] = 1;
  ++depth;
  QVariant v = build(objects[uid]);
  --depth;
  state[uid] = 2;
  if (failed) return {};
  decoded[uid] = v;
  return v;
}

QVariant Reader::build(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_STRING:
    case PLIST_DATA:
    case PLIST_UINT:
    case PLIST_REAL:
    case PLIST_BOOLEAN:
      return value(node);
    case PLIST_DICT:
      break;
    default:
      return fail(QStringLiteral("an object of an unexpected kind"));
  }
  uint64_t classUid = 0;
  plist_t classRef = plist_dict_get_item(node, "$class");
  if (plist_get_node_type(classRef) != PLIST_UID) return fail(QStringLiteral("an object without a class"));
  plist_get_uid_val(classRef, &classUid);
  plist_t classDict = classUid < objects.size() ? objects[classUid] : nullptr;
  plist_t className = item(classDict, "$classname");
  if (plist_get_node_type(className) != PLIST_STRING) return fail(QStringLiteral("a malformed class reference"));
  const QString name = textOf(className);

  bool known = false;
  QVariant v = buildBuiltin(name, node, known);
  if (known || failed) return v;
  if (DecodeFactory factory = ClassRegistry::shared().find(name)) {
    ObjectDecoder decoder(*this, node);
    CodingPtr made = factory(decoder);
    return failed ? QVariant() : wrapCoding(made);
  }
  return fail(QStringLiteral("unknown class \"%1\"").arg(name));
}

bool Reader::uidList(plist_t array, QVariantList& out) {
  if (plist_get_node_type(array) != PLIST_ARRAY) {
    fail(QStringLiteral("a malformed collection"));
    return false;
  }
  for (plist_t ref : elements(array)) {
    if (plist_get_node_type(ref) != PLIST_UID) {
      fail(QStringLiteral("a collection element is not a UID"));
      return false;
    }
    out.append(value(ref));
    if (failed) return false;
  }
  return true;
}

QVariant Reader::buildBuiltin(const QString& name, plist_t dict, bool& known) {
  known = true;
  if (name == QLatin1String("NSArray") || name == QLatin1String("NSMutableArray")) {
    QVariantList list;
    return uidList(plist_dict_get_item(dict, "NS.objects"), list) ? QVariant(list) : QVariant();
  }
  if (name == QLatin1String("NSDictionary") || name == QLatin1String("NSMutableDictionary")) {
    QVariantList keys, values;
    if (!uidList(plist_dict_get_item(dict, "NS.keys"), keys) ||
        !uidList(plist_dict_get_item(dict, "NS.objects"), values))
      return {};
    if (keys.size() != values.size()) return fail(QStringLiteral("dictionary keys and values differ in number"));
    QVariantMap map;
    for (qsizetype i = 0; i < keys.size(); ++i) {
      if (keys[i].typeId() != QMetaType::QString) return fail(QStringLiteral("a dictionary key is not text"));
      map.insert(keys[i].toString(), values[i]);
    }
    return map;
  }
  if (name == QLatin1String("NSString") || name == QLatin1String("NSMutableString")) {
    const QVariant v = value(plist_dict_get_item(dict, "NS.string"));
    return v.typeId() == QMetaType::QString ? v : fail(QStringLiteral("a malformed string"));
  }
  if (name == QLatin1String("NSData") || name == QLatin1String("NSMutableData")) {
    const QVariant v = value(plist_dict_get_item(dict, "NS.data"));
    return v.typeId() == QMetaType::QByteArray ? v : fail(QStringLiteral("a malformed data object"));
  }
  if (name == QLatin1String("NSDate")) {
    const QVariant v = value(plist_dict_get_item(dict, "NS.time"));
    const double seconds = toDouble(v);
    // Within about ±30,000 years, which QDateTime holds.
    if ((v.typeId() != QMetaType::Double && v.typeId() != QMetaType::LongLong) || !std::isfinite(seconds) ||
        std::fabs(seconds) > 1e12)
      return fail(QStringLiteral("a malformed date"));
    return QDateTime::fromMSecsSinceEpoch(kPlistReferenceDateMSecs + qint64(std::llround(seconds * 1000.0)),
                                          Qt::UTC);
  }
  if (name == QLatin1String("NSURL")) {
    const QVariant base = value(plist_dict_get_item(dict, "NS.base"));
    const QVariant relative = value(plist_dict_get_item(dict, "NS.relative"));
    if (failed) return {};
    if ((base.isValid() && base.typeId() != QMetaType::QUrl) || relative.typeId() != QMetaType::QString)
      return fail(QStringLiteral("a malformed URL"));
    const QUrl url(relative.toString());
    return base.isValid() ? base.toUrl().resolved(url) : url;
  }
  known = false;
  return {};
}

}  // namespace

struct KeyedUnarchiver::Impl : Reader {};

KeyedUnarchiver::KeyedUnarchiver(const QByteArray& data) : d(std::make_unique<Impl>()) {
  const QString problem = checkBinaryPlist(data);
  if (!problem.isEmpty()) {
    d->fail(problem);
    return;
  }
  plist_from_bin(data.constData(), uint32_t(data.size()), &d->root);
  plist_t archiver = item(d->root, "$archiver");
  plist_t version = item(d->root, "$version");
  plist_t objects = item(d->root, "$objects");
  d->top = item(d->root, "$top");
  uint64_t versionValue = 0;
  if (plist_get_node_type(version) == PLIST_UINT) plist_get_uint_val(version, &versionValue);
  if (plist_get_node_type(archiver) != PLIST_STRING || textOf(archiver) != QLatin1String("NSKeyedArchiver") ||
      versionValue != 100000 || plist_get_node_type(d->top) != PLIST_DICT ||
      plist_get_node_type(objects) != PLIST_ARRAY) {
    d->fail(QStringLiteral("not a keyed archive"));
    return;
  }
  d->objects = elements(objects);
  d->decoded.resize(d->objects.size());
  d->state.assign(d->objects.size(), 0);
  d->valid = true;
}

KeyedUnarchiver::~KeyedUnarchiver() = default;

bool KeyedUnarchiver::isValid() const { return d->usable(); }

QStringList KeyedUnarchiver::rootKeys() const {
  QStringList keys;
  if (!d->usable()) return keys;
  plist_dict_iter it = nullptr;
  plist_dict_new_iter(d->top, &it);
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(d->top, it, &key, &value);
    if (!key) break;
    keys.append(callerKey(key));
    std::free(key);
  }
  std::free(it);
  return keys;
}

bool KeyedUnarchiver::containsValue(const QString& key) const {
  return d->usable() && plist_dict_get_item(d->top, archiveKey(key).constData()) != nullptr;
}

QVariant KeyedUnarchiver::decodeObject(const QString& key) const {
  if (!d->usable()) return {};
  const QVariant v = d->field(d->top, key);
  return d->failed ? QVariant() : v;
}
qint64 KeyedUnarchiver::decodeInt64(const QString& key) const { return toInt64(decodeObject(key)); }
double KeyedUnarchiver::decodeDouble(const QString& key) const { return toDouble(decodeObject(key)); }
float KeyedUnarchiver::decodeFloat(const QString& key) const { return toFloat(decodeDouble(key)); }
bool KeyedUnarchiver::decodeBool(const QString& key) const { return decodeDouble(key) != 0.0; }

QByteArray archivedDataWithRootObject(const QVariant& value, const QString& key) {
  KeyedArchiver archiver;
  archiver.encodeObject(value, key);
  return archiver.finish();
}

QVariant unarchiveRootObject(const QByteArray& data, const QString& key) {
  return KeyedUnarchiver(data).decodeObject(key);
}

// ---------------------------------------------------------------------------------------------------------------------
// Files

bool writeFileAtomically(const QString& path, const QByteArray& bytes) {
  if (path.isEmpty()) return false;
  const QByteArray target = QFile::encodeName(QFileInfo(path).absoluteFilePath());
  QByteArray temp = target + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    ox::log(QStringLiteral("writeFileAtomically: cannot create a temporary file beside %1").arg(path));
    return false;
  }
  struct stat old;
  ::fchmod(fd, ::stat(target.constData(), &old) == 0 ? (old.st_mode & 07777) : 0644);
  bool ok = true;
  for (qsizetype done = 0; ok && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    done += ok ? n : 0;
  }
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temp.constData(), target.constData()) == 0;
  if (!ok) {
    ::unlink(temp.constData());
    ox::log(QStringLiteral("writeFileAtomically: cannot write %1; the old file stays").arg(path));
  }
  return ok;
}

}  // namespace ox
