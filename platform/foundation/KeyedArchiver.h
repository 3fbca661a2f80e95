#pragma once
// Keyed archives in the platform's standard layout: a binary property list holding "$archiver" "NSKeyedArchiver",
// "$version" 100000, "$top" (root keys to UIDs) and "$objects" ("$null" first, then every object once, class
// dictionaries with "$classname"/"$classes"). Files written here are read by any keyed-archive reader, and files
// written by one are read here.
//
// Values travel as QVariant: QString, QByteArray (data), qint64/int/uint/quint64 and double/float (numbers), bool,
// QDateTime (date), QUrl, QVariantList (array), QVariantMap (dictionary with text keys), and ox::CodingPtr for the
// system's own archived classes. An invalid QVariant is nil. Objects held by the same CodingPtr are written once and
// decode to one shared object.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

#include "platform/foundation/AtomicFile.h"

namespace ox {

class Coder;
class Decoder;

// A class of the system that archives itself by keys.
class Coding {
 public:
  virtual ~Coding() = default;
  // "$classname" of its class dictionary.
  virtual QString archiveClassName() const = 0;
  // "$classes": the class and its ancestors, most derived first.
  virtual QStringList archiveClassChain() const { return {archiveClassName(), QStringLiteral("NSObject")}; }
  // Writes the object's keys, in the order the archive form gives them.
  virtual void encodeWithCoder(Coder& coder) const = 0;
};
using CodingPtr = std::shared_ptr<Coding>;

// Wraps a record for a QVariant, and reads it back with its concrete type (empty when absent or of another type).
QVariant wrapCoding(const CodingPtr& object);
CodingPtr codingFromVariant(const QVariant& value);
template <class T>
std::shared_ptr<T> codingAs(const QVariant& value) {
  return std::dynamic_pointer_cast<T>(codingFromVariant(value));
}

// The encoding side, given to encodeWithCoder. Keys are written in call order.
class Coder {
 public:
  virtual ~Coder() = default;
  virtual void encodeObject(const QVariant& value, const QString& key) = 0;
  virtual void encodeInt64(qint64 value, const QString& key) = 0;
  virtual void encodeDouble(double value, const QString& key) = 0;
  virtual void encodeFloat(float value, const QString& key) = 0;
  virtual void encodeBool(bool value, const QString& key) = 0;
};

// The decoding side. Missing keys, nil and values of another kind give 0, 0.0, NO or an invalid QVariant.
class Decoder {
 public:
  virtual ~Decoder() = default;
  virtual bool containsValue(const QString& key) const = 0;
  virtual QVariant decodeObject(const QString& key) const = 0;
  virtual qint64 decodeInt64(const QString& key) const = 0;
  virtual double decodeDouble(const QString& key) const = 0;
  virtual float decodeFloat(const QString& key) const = 0;
  virtual bool decodeBool(const QString& key) const = 0;

  // Texts and data may be read without a QVariant between (the archive's own decoder does).
  virtual QString decodeString(const QString& key) const;   // empty unless the value is text
  virtual QByteArray decodeData(const QString& key) const;  // empty unless the value is data
  QUrl decodeUrl(const QString& key) const;              // empty unless the value is a URL
  QVariantList decodeList(const QString& key) const;     // empty unless the value is an array
  QVariantMap decodeMap(const QString& key) const;       // empty unless the value is a dictionary
  template <class T>
  std::shared_ptr<T> decodeCoding(const QString& key) const {
    const QVariant v = decodeObject(key);
    std::shared_ptr<T> object = codingAs<T>(v);
    if (!object && v.isValid()) noteMismatch(key);
    return object;
  }
  // A read took less than the key holds: a value of another kind than asked for (nil is none), or an element a
  // class passed over. The typed reads above note their own.
  virtual void noteMismatch(const QString& key) const { Q_UNUSED(key) }

 private:
  template <class T>
  T kindOf(const QString& key) const;
};

// Registers how a class of the system is rebuilt from its keys. The factory may answer nullptr (a record that
// lacks what it needs), which decodes as nil.
using DecodeFactory = std::function<CodingPtr(const Decoder&)>;
void registerArchiveClass(const QString& className, DecodeFactory factory);

// Builds one archive: encode the root keys in order, then take the bytes.
class KeyedArchiver final : public Coder {
 public:
  KeyedArchiver();
  ~KeyedArchiver() override;
  void encodeObject(const QVariant& value, const QString& key) override;
  void encodeInt64(qint64 value, const QString& key) override;
  void encodeDouble(double value, const QString& key) override;
  void encodeFloat(float value, const QString& key) override;
  void encodeBool(bool value, const QString& key) override;
  // The binary property list; the archiver cannot be used afterwards.
  QByteArray finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

// Reads one archive. Damaged or hostile input gives an invalid archive (isValid() NO, every key absent) and a log
// line; never a crash, a hang or an unbounded allocation. The bytes are read in place: they must outlive the
// unarchiver (a mapped file may be handed in without a copy).
class KeyedUnarchiver final : public Decoder {
 public:
  explicit KeyedUnarchiver(const QByteArray& data);
  ~KeyedUnarchiver() override;
  bool isValid() const;
  // Readers are lenient: a value of another kind than asked for reads as empty, and keys an object's class does not
  // ask for are passed over. The first such thing met so far; empty when everything decoded was taken as it is. In a
  // file the system wrote itself, any of them means damage. An object several others reference (a list that archivers
  // sharing equal objects write once) is no loss: each of them gets it; only one that contains itself is refused.
  QString firstLoss() const;
  // Objects of the table that nothing reachable from the top refers to: empty when there are none. Reached are the
  // objects the top's keys name, and everything their UIDs name in turn ("$null", and the class descriptions through
  // "$class"). An archiver that writes only what its top holds leaves none, so in a file the system wrote itself they
  // are what a damaged reference lost: a list that now names another leaves its records behind unread. Linear in the
  // archive, and once everything was decoded only a pass over the table.
  QString unreachedObjects() const;
  QStringList rootKeys() const;
  bool containsValue(const QString& key) const override;
  QVariant decodeObject(const QString& key) const override;
  qint64 decodeInt64(const QString& key) const override;
  double decodeDouble(const QString& key) const override;
  float decodeFloat(const QString& key) const override;
  bool decodeBool(const QString& key) const override;
  void noteMismatch(const QString& key) const override;

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

// Convenience: an archive with one root key, and its reverse (invalid QVariant on any failure).
QByteArray archivedDataWithRootObject(const QVariant& value, const QString& key = QStringLiteral("root"));
QVariant unarchiveRootObject(const QByteArray& data, const QString& key = QStringLiteral("root"));

}  // namespace ox

Q_DECLARE_METATYPE(ox::CodingPtr)
