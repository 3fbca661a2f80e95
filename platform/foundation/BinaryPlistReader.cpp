#include "platform/foundation/BinaryPlistReader.h"

#include <cstring>

namespace ox {
BinaryPlistReader::BinaryPlistReader(const QByteArray& bytes) {
  bytes_ = reinterpret_cast<const uint8_t*>(bytes.constData());
  const uint8_t* trailer = bytes_ + bytes.size() - 32;
  offsetWidth_ = trailer[6];
  refWidth_ = trailer[7];
  objectCount_ = bigEndian(trailer + 8, 8);
  top_ = bigEndian(trailer + 16, 8);
  offsetTable_ = bytes_ + bigEndian(trailer + 24, 8);
}

uint64_t BinaryPlistReader::sized(const uint8_t* marker, const uint8_t*& contents) const {
  const uint8_t info = *marker & 0x0F;
  if (info != 0xF) {
    contents = marker + 1;
    return info;
  }
  const unsigned width = 1u << (marker[1] & 0x0F);
  contents = marker + 2 + width;
  return bigEndian(marker + 2, width);
}

qint64 BinaryPlistReader::integer(const Object& o) const {
  const uint8_t* p = o.at;
  const unsigned width = 1u << (*p & 0x0F);
  return qint64(width == 16 ? bigEndian(p + 9, 8) : bigEndian(p + 1, width));
}

double BinaryPlistReader::real(const Object& o) const {
  const uint8_t* p = o.at;
  if ((*p & 0x0F) == 2) {
    const auto bits = uint32_t(bigEndian(p + 1, 4));
    float f = 0;
    std::memcpy(&f, &bits, sizeof f);
    return f;
  }
  const uint64_t bits = bigEndian(p + 1, 8);
  double d = 0;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

QString BinaryPlistReader::text(const Object& o) const {
  const uint8_t* p = o.at;
  const uint8_t* contents = nullptr;
  const uint64_t n = sized(p, contents);
  QString out(qsizetype(n), Qt::Uninitialized);
  if (*p >> 4 == 0x5) {
    // ASCII as the format says; a writer that put other bytes there meant UTF-8.
    auto* units = reinterpret_cast<char16_t*>(out.data());
    uint8_t high = 0;
    for (uint64_t i = 0; i < n; ++i) {
      high |= contents[i];
      units[i] = contents[i];
    }
    return high < 0x80 ? out : QString::fromUtf8(reinterpret_cast<const char*>(contents), qsizetype(n));
  }
  auto* units = reinterpret_cast<char16_t*>(out.data());
  for (uint64_t i = 0; i < n; ++i) units[i] = char16_t(contents[2 * i] << 8 | contents[2 * i + 1]);
  return out;
}

QByteArray BinaryPlistReader::textUtf8(Ref ref) const {
  const uint8_t* p = at(ref);
  if (*p >> 4 == 0x6) return text(ref).toUtf8();
  const uint8_t* contents = nullptr;
  const uint64_t n = sized(p, contents);
  return QByteArray(reinterpret_cast<const char*>(contents), qsizetype(n));
}

bool BinaryPlistReader::textEquals(Ref ref, const QByteArray& utf8) const {
  const uint8_t* p = at(ref);
  if (*p >> 4 == 0x6) return text(ref).toUtf8() == utf8;
  const uint8_t* contents = nullptr;
  const uint64_t n = sized(p, contents);
  return n == uint64_t(utf8.size()) && std::memcmp(contents, utf8.constData(), size_t(n)) == 0;
}

QByteArray BinaryPlistReader::data(const Object& o) const {
  const uint8_t* contents = nullptr;
  const uint64_t n = sized(o.at, contents);
  return QByteArray(reinterpret_cast<const char*>(contents), qsizetype(n));
}

BinaryPlistReader::Container BinaryPlistReader::container(const Object& o) const {
  Container c;
  c.count = sized(o.at, c.refs);
  return c;
}

bool BinaryPlistReader::find(const Container& dict, const QByteArray& keyUtf8, Ref& value) const {
  for (uint64_t i = 0; i < dict.count; ++i) {
    if (textEquals(key(dict, i), keyUtf8)) {
      value = this->value(dict, i);
      return true;
    }
  }
  return false;
}

}  // namespace ox
