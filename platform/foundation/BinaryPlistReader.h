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
  Type type(Ref ref) const;

  bool boolean(Ref ref) const;
  // Integers as the format stores them, signed 64-bit (of a 16-byte integer, its low 8 bytes).
  qint64 integer(Ref ref) const;
  // A real or a date (seconds since 2001-01-01 00:00:00 UTC).
  double real(Ref ref) const;
  quint64 uid(Ref ref) const;
  QString text(Ref ref) const;
  QByteArray data(Ref ref) const;
  // The text's UTF-8 bytes, compared without making a QString.
  bool textEquals(Ref ref, const QByteArray& utf8) const;
  QByteArray textUtf8(Ref ref) const;

  // An array's elements, or a dictionary's entries, in stored order.
  struct Container {
    const uint8_t* refs = nullptr;
    uint64_t count = 0;
  };
  Container container(Ref ref) const;
  Ref element(const Container& array, uint64_t i) const { return readRef(array.refs + i * refWidth_); }
  Ref key(const Container& dict, uint64_t i) const { return readRef(dict.refs + i * refWidth_); }
  Ref value(const Container& dict, uint64_t i) const { return readRef(dict.refs + (dict.count + i) * refWidth_); }
  // The value of the entry whose key is that text; false when there is none.
  bool find(const Container& dict, const QByteArray& keyUtf8, Ref& value) const;

 private:
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
