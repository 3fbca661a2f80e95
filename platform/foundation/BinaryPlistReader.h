#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace ox {

// Reads the objects of a binary property list in place, without building a tree: a reference names an object, and
// its value is read when it is asked for. Only for bytes that checkBinaryPlist found sound, and only for objects
// reachable from the top (those the check walked): nothing here checks bounds again.
class BinaryPlistReader {
 public:
  using Ref = uint64_t;
  enum class Type { Boolean, Integer, Real, Date, Data, Text, Uid, Array, Dictionary, Other };

  // `bytes` must stay alive and unchanged while the reader is used.
  explicit BinaryPlistReader(const QByteArray& bytes);

  Ref top() const { return top_; }
  uint64_t objectCount() const { return objectCount_; }

  // An object found once, to read as its type says.
  struct Object {
    Type type = Type::Other;
    const uint8_t* at = nullptr;  // its marker
  };
  Object object(Ref ref) const {
    const uint8_t* p = at(ref);
    return {typeOf(*p), p};
  }
  Type type(Ref ref) const { return typeOf(*at(ref)); }

  bool boolean(const Object& o) const { return (*o.at & 0x0F) == 0x9; }
  // Integers as the format stores them, signed 64-bit (of a 16-byte integer, its low 8 bytes).
  qint64 integer(const Object& o) const;
  // A real or a date (seconds since 2001-01-01 00:00:00 UTC).
  double real(const Object& o) const;
  quint64 uid(const Object& o) const { return bigEndian(o.at + 1, (*o.at & 0x0F) + 1u); }
  QString text(const Object& o) const;
  QByteArray data(const Object& o) const;
  bool boolean(Ref ref) const { return boolean(object(ref)); }
  qint64 integer(Ref ref) const { return integer(object(ref)); }
  double real(Ref ref) const { return real(object(ref)); }
  quint64 uid(Ref ref) const { return uid(object(ref)); }
  QString text(Ref ref) const { return text(object(ref)); }
  QByteArray data(Ref ref) const { return data(object(ref)); }
  // The text's UTF-8 bytes, compared without making a QString.
  bool textEquals(Ref ref, const QByteArray& utf8) const;
  QByteArray textUtf8(Ref ref) const;

  // An array's elements, or a dictionary's entries, in stored order.
  struct Container {
    const uint8_t* refs = nullptr;
    uint64_t count = 0;
  };
  Container container(const Object& o) const;
  Container container(Ref ref) const { return container(object(ref)); }
  Ref element(const Container& array, uint64_t i) const { return readRef(array.refs + i * refWidth_); }
  Ref key(const Container& dict, uint64_t i) const { return readRef(dict.refs + i * refWidth_); }
  Ref value(const Container& dict, uint64_t i) const { return readRef(dict.refs + (dict.count + i) * refWidth_); }
  // The value of the entry whose key is that text; false when there is none.
  bool find(const Container& dict, const QByteArray& keyUtf8, Ref& value) const;

  // A big-endian unsigned integer of 1 to 8 bytes, as the format stores its numbers, offsets and references.
  static uint64_t bigEndian(const uint8_t* p, unsigned width) {
    switch (width) {
      case 1:
        return p[0];
      case 2:
        return uint64_t(p[0]) << 8 | p[1];
      case 4:
        return uint64_t(p[0]) << 24 | uint64_t(p[1]) << 16 | uint64_t(p[2]) << 8 | p[3];
      default: {
        uint64_t value = 0;
        for (unsigned i = 0; i < width; ++i) value = value << 8 | p[i];
        return value;
      }
    }
  }
 private:
  static Type typeOf(uint8_t marker) {
    switch (marker >> 4) {
      case 0x0:
        return (marker & 0x0F) == 0x8 || (marker & 0x0F) == 0x9 ? Type::Boolean : Type::Other;
      case 0x1:
        return Type::Integer;
      case 0x2:
        return Type::Real;
      case 0x3:
        return Type::Date;
      case 0x4:
        return Type::Data;
      case 0x5:
      case 0x6:
        return Type::Text;
      case 0x8:
        return Type::Uid;
      case 0xA:
        return Type::Array;
      case 0xD:
        return Type::Dictionary;
      default:
        return Type::Other;
    }
  }
  // The object's marker.
  const uint8_t* at(Ref ref) const { return bytes_ + bigEndian(offsetTable_ + ref * offsetWidth_, offsetWidth_); }
  // The count of a sized object and the start of its contents.
  uint64_t sized(const uint8_t* marker, const uint8_t*& contents) const;
  Ref readRef(const uint8_t* p) const { return bigEndian(p, refWidth_); }

  const uint8_t* bytes_ = nullptr;
  const uint8_t* offsetTable_ = nullptr;
  unsigned offsetWidth_ = 1, refWidth_ = 1;
  Ref top_ = 0;
  uint64_t objectCount_ = 0;
};

}  // namespace ox
