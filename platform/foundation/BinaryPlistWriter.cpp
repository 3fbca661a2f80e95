#include "platform/foundation/BinaryPlistWriter.h"

#include <cstring>
#include <limits>

namespace ox {
namespace {

constexpr BinaryPlistWriter::Ref kNone = std::numeric_limits<BinaryPlistWriter::Ref>::max();
constexpr size_t kSmallUids = size_t(1) << 24;  // UIDs below this are found by value, without hashing

int widthFor(uint64_t value) { return value <= 0xFF ? 1 : value <= 0xFFFF ? 2 : value <= 0xFFFFFFFFu ? 4 : 8; }

// Negative numbers take eight bytes, which readers take as signed.
int integerWidth(uint64_t value) { return int64_t(value) < 0 ? 8 : widthFor(value); }

template <int Width>
uint8_t* putWidth(uint8_t* p, uint64_t value) {
  if constexpr (Width == 1) {
    *p = uint8_t(value);
  } else if constexpr (Width == 2) {
    const uint16_t v = __builtin_bswap16(uint16_t(value));
    std::memcpy(p, &v, 2);
  } else if constexpr (Width == 4) {
    const uint32_t v = __builtin_bswap32(uint32_t(value));
    std::memcpy(p, &v, 4);
  } else {
    const uint64_t v = __builtin_bswap64(value);
    std::memcpy(p, &v, 8);
  }
  return p + Width;
}

uint8_t* putBigEndian(uint8_t* p, uint64_t value, int width) {
  switch (width) {
    case 1:
      return putWidth<1>(p, value);
    case 2:
      return putWidth<2>(p, value);
    case 4:
      return putWidth<4>(p, value);
    default:
      return putWidth<8>(p, value);
  }
}

template <int Width>
uint8_t* putRefs(uint8_t* p, const uint32_t* refs, uint64_t n) {
  for (uint64_t i = 0; i < n; ++i) p = putWidth<Width>(p, refs[i]);
  return p;
}

uint8_t* putInteger(uint8_t* p, uint64_t value) {
  const int width = integerWidth(value);
  *p++ = uint8_t(0x10 | (width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3));
  return putBigEndian(p, value, width);
}

// The marker of a sized object: its count in the low nibble, or 0xF and an integer object after it.
size_t markerSize(uint64_t count) { return count < 15 ? 1 : 2 + size_t(integerWidth(count)); }
uint8_t* putMarker(uint8_t* p, uint8_t type, uint64_t count) {
  if (count < 15) {
    *p++ = uint8_t(type << 4 | count);
    return p;
  }
  *p++ = uint8_t(type << 4 | 0xF);
  return putInteger(p, count);
}

bool isAscii(const QString& s) {
  for (const QChar c : s)
    if (c.unicode() >= 0x80) return false;
  return true;
}

uint64_t mix(uint64_t key) {
  key ^= key >> 33;
  key *= 0xff51afd7ed558ccdULL;
  return key ^ (key >> 33);
}

}  // namespace

BinaryPlistWriter::BinaryPlistWriter() : booleans_{kNone, kNone} {
  objects_.reserve(1024);
  refs_.reserve(4096);
}

BinaryPlistWriter::~BinaryPlistWriter() = default;

BinaryPlistWriter::Ref* BinaryPlistWriter::ScalarTable::find(uint64_t key, bool& inserted) {
  if (2 * (used + 1) > keys.size()) {
    std::vector<uint64_t> oldKeys(std::max<size_t>(64, keys.size() * 2));
    std::vector<Ref> oldRefs(oldKeys.size(), kNone);
    oldKeys.swap(keys);
    oldRefs.swap(refs);
    for (size_t i = 0; i < oldKeys.size(); ++i) {
      if (oldRefs[i] == kNone) continue;
      size_t at = mix(oldKeys[i]) & (keys.size() - 1);
      while (refs[at] != kNone) at = (at + 1) & (keys.size() - 1);
      keys[at] = oldKeys[i];
      refs[at] = oldRefs[i];
    }
  }
  size_t at = mix(key) & (keys.size() - 1);
  while (refs[at] != kNone && keys[at] != key) at = (at + 1) & (keys.size() - 1);
  inserted = refs[at] == kNone;
  if (inserted) {
    keys[at] = key;
    ++used;
  }
  return &refs[at];
}

BinaryPlistWriter::Ref BinaryPlistWriter::place(Kind kind, uint32_t index, uint64_t value) {
  objects_.push_back({kind, index, value});
  return Ref(objects_.size() - 1);
}

BinaryPlistWriter::Ref BinaryPlistWriter::scalar(ScalarTable& table, Kind kind, uint64_t bits) {
  bool inserted = false;
  Ref* ref = table.find(bits, inserted);
  if (inserted) *ref = place(kind, 0, bits);
  return *ref;
}

uint32_t BinaryPlistWriter::internText(const QString& text) {
  const uint32_t seen = texts_.id(text);
  if (seen < textIds_.size()) return textIds_[seen];
  const bool ascii = isAscii(text);
  // What cannot be written as UTF-16 (a lone surrogate) is written as the UTF-8 conversion leaves it.
  const QString form = ascii || QStringView(text).isValidUtf16() ? text : QString::fromUtf8(text.toUtf8());
  uint32_t id = TextIds::kNone;
  if (form != text) {
    id = internText(form);
  } else {
    id = uint32_t(textForms_.size());
    textForms_.push_back(text);
    textRefs_.push_back(kNone);
    textAscii_.push_back(ascii);
  }
  textIds_.resize(std::max<size_t>(textIds_.size(), seen + 1), TextIds::kNone);
  textIds_[seen] = id;
  return id;
}

BinaryPlistWriter::Ref BinaryPlistWriter::text(uint32_t textId) {
  Ref& ref = textRefs_[textId];
  if (ref == kNone) ref = place(Kind::Text, textId, 0);
  return ref;
}

BinaryPlistWriter::Ref BinaryPlistWriter::integer(uint64_t value) { return scalar(integers_, Kind::Integer, value); }

BinaryPlistWriter::Ref BinaryPlistWriter::real(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return scalar(reals_, Kind::Real, bits);
}

BinaryPlistWriter::Ref BinaryPlistWriter::date(double seconds) {
  uint64_t bits = 0;
  std::memcpy(&bits, &seconds, sizeof bits);
  return scalar(dates_, Kind::Date, bits);
}

BinaryPlistWriter::Ref BinaryPlistWriter::boolean(bool value) {
  Ref& ref = booleans_[value ? 1 : 0];
  if (ref == kNone) ref = place(Kind::Boolean, 0, value);
  return ref;
}

BinaryPlistWriter::Ref BinaryPlistWriter::uid(uint64_t value) {
  if (value >= kSmallUids) return scalar(largeUids_, Kind::Uid, value);
  if (value >= uids_.size()) uids_.resize(std::max<size_t>(size_t(value) + 1, uids_.size() * 2), kNone);
  Ref& ref = uids_[size_t(value)];
  if (ref == kNone) ref = place(Kind::Uid, 0, value);
  return ref;
}

BinaryPlistWriter::Ref BinaryPlistWriter::data(const QByteArray& bytes) {
  const auto [it, inserted] = dataRefs_.try_emplace(bytes, kNone);
  if (!inserted) return it->second;
  data_.push_back(bytes);
  return it->second = place(Kind::Data, uint32_t(data_.size() - 1), 0);
}

BinaryPlistWriter::Ref BinaryPlistWriter::beginContainer(Kind kind) { return place(kind, 0, 0); }
BinaryPlistWriter::Ref BinaryPlistWriter::beginArray() { return beginContainer(Kind::Array); }
BinaryPlistWriter::Ref BinaryPlistWriter::beginDictionary() { return beginContainer(Kind::Dictionary); }

void BinaryPlistWriter::endArray(Ref array, const Ref* elements, size_t count) {
  objects_[array].index = uint32_t(refs_.size());
  objects_[array].value = count;
  refs_.insert(refs_.end(), elements, elements + count);
}

void BinaryPlistWriter::endDictionary(Ref dictionary, const Ref* keys, const Ref* values, size_t count) {
  objects_[dictionary].index = uint32_t(refs_.size());
  objects_[dictionary].value = count;
  refs_.insert(refs_.end(), keys, keys + count);
  refs_.insert(refs_.end(), values, values + count);
}

size_t BinaryPlistWriter::objectSize(const Object& o, int refWidth) const {
  switch (o.kind) {
    case Kind::Text: {
      const uint64_t units = uint64_t(textForms_[o.index].size());
      return markerSize(units) + size_t(textAscii_[o.index] ? units : 2 * units);
    }
    case Kind::Integer:
      return 1 + size_t(integerWidth(o.value));
    case Kind::Real:
    case Kind::Date:
      return 9;
    case Kind::Boolean:
      return 1;
    case Kind::Uid:
      return 1 + size_t(widthFor(o.value));
    case Kind::Data: {
      const uint64_t length = uint64_t(data_[o.index].size());
      return markerSize(length) + size_t(length);
    }
    case Kind::Array:
      return markerSize(o.value) + size_t(o.value) * size_t(refWidth);
    case Kind::Dictionary:
      return markerSize(o.value) + 2 * size_t(o.value) * size_t(refWidth);
  }
  return 0;
}

QByteArray BinaryPlistWriter::finish(Ref top) {
  const size_t count = objects_.size();
  if (count == 0 || top >= count) return {};
  const int refWidth = widthFor(count - 1);
  std::vector<uint64_t> offsets(count);
  uint64_t pos = 8;
  for (size_t i = 0; i < count; ++i) {
    offsets[i] = pos;
    pos += objectSize(objects_[i], refWidth);
  }
  const uint64_t tableOffset = pos;
  const int offsetWidth = widthFor(tableOffset);
  const uint64_t total = tableOffset + count * uint64_t(offsetWidth) + 32;
  if (total > uint64_t(std::numeric_limits<qsizetype>::max())) return {};

  QByteArray out(qsizetype(total), Qt::Uninitialized);
  auto* p = reinterpret_cast<uint8_t*>(out.data());
  std::memcpy(p, "bplist00", 8);
  p += 8;
  for (const Object& o : objects_) {
    switch (o.kind) {
      case Kind::Text: {
        const QString& s = textForms_[o.index];
        const auto* units = reinterpret_cast<const char16_t*>(s.constData());
        const auto n = size_t(s.size());
        if (textAscii_[o.index]) {
          p = putMarker(p, 0x5, n);
          for (size_t i = 0; i < n; ++i) p[i] = uint8_t(units[i]);
          p += n;
        } else {
          p = putMarker(p, 0x6, n);
          for (size_t i = 0; i < n; ++i) putWidth<2>(p + 2 * i, units[i]);
          p += 2 * n;
        }
        break;
      }
      case Kind::Integer:
        p = putInteger(p, o.value);
        break;
      case Kind::Real:
      case Kind::Date:
        *p++ = o.kind == Kind::Real ? 0x23 : 0x33;
        p = putBigEndian(p, o.value, 8);
        break;
      case Kind::Boolean:
        *p++ = o.value ? 0x09 : 0x08;
        break;
      case Kind::Uid: {
        const int width = widthFor(o.value);
        *p++ = uint8_t(0x80 | (width - 1));
        p = putBigEndian(p, o.value, width);
        break;
      }
      case Kind::Data: {
        const QByteArray& bytes = data_[o.index];
        p = putMarker(p, 0x4, uint64_t(bytes.size()));
        std::memcpy(p, bytes.constData(), size_t(bytes.size()));
        p += bytes.size();
        break;
      }
      case Kind::Array:
      case Kind::Dictionary: {
        const bool dict = o.kind == Kind::Dictionary;
        p = putMarker(p, dict ? 0xD : 0xA, o.value);
        const Ref* ref = refs_.data() + o.index;
        const uint64_t n = dict ? 2 * o.value : o.value;
        p = refWidth == 1 ? putRefs<1>(p, ref, n) : refWidth == 2 ? putRefs<2>(p, ref, n) : putRefs<4>(p, ref, n);
        break;
      }
    }
  }
  for (const uint64_t offset : offsets) p = putBigEndian(p, offset, offsetWidth);
  std::memset(p, 0, 6);
  p += 6;
  *p++ = uint8_t(offsetWidth);
  *p++ = uint8_t(refWidth);
  p = putBigEndian(p, count, 8);
  p = putBigEndian(p, top, 8);
  putBigEndian(p, tableOffset, 8);

  objects_.clear();
  refs_.clear();
  return out;
}

}  // namespace ox
