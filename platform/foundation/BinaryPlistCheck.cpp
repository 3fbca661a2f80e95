#include "platform/foundation/BinaryPlistCheck.h"

#include <QUtf8StringView>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/foundation/BinaryPlistReader.h"

namespace ox {
namespace {

constexpr int kMaxDepth = 32;
constexpr uint64_t kHeaderSize = 8;    // "bplist00"
constexpr uint64_t kTrailerSize = 32;
constexpr uint64_t kNodeCost = 64;     // what one expanded value costs, roughly, besides its payload
// The expanded tree may cost 64 units per input byte (one node per byte: a sound file, whose shared objects are
// small texts and numbers, comes to about 13) plus a fixed allowance for small files (256 Ki nodes).
constexpr uint64_t kBudgetPerByte = 64;
constexpr uint64_t kBudgetBase = uint64_t(16) << 20;

uint64_t bigEndian(const uint8_t* at, uint64_t width) { return BinaryPlistReader::bigEndian(at, unsigned(width)); }

// Integer widths other readers agree on: libplist writes three-byte offsets, references and UIDs, but misreads five
// to seven bytes.
bool isReadableWidth(uint64_t width) { return width == 1 || width == 2 || width == 3 || width == 4 || width == 8; }

struct Checker {
  const uint8_t* bytes = nullptr;
  uint64_t objectsEnd = 0;  // the object area is [kHeaderSize, objectsEnd): the offset table follows it
  const uint8_t* offsetTable = nullptr;
  uint64_t offsetWidth = 0, refWidth = 0, objectCount = 0;
  uint64_t budget = 0;
  // 0 not seen, 1 on the current path, 2 checked, 3 checked text holding a NUL, 4 checked text without one.
  std::vector<uint8_t> state;
  std::vector<uint64_t> cost;   // expanded size of a checked object
  QString error;
  bool altered = false;  // a text that does not read as stored

  bool fail(const char* why) {
    if (error.isEmpty()) error = QString::fromLatin1(why);
    return false;
  }
  // The n units of width `unit` that start at pos lie inside the object area.
  bool fits(uint64_t pos, uint64_t n, uint64_t unit) {
    return (pos <= objectsEnd && n <= (objectsEnd - pos) / unit) || fail("object runs past the object area");
  }
  // The element count of a sized object: the marker's low nibble, or an integer object after it when that is 0xF.
  bool readCount(uint64_t& pos, uint8_t info, uint64_t& n) {
    if (info != 0xF) {
      n = info;
      return true;
    }
    if (!fits(pos, 1, 1)) return false;
    const uint8_t marker = bytes[pos++];
    if ((marker & 0xF0) != 0x10 || (marker & 0x0F) > 3) return fail("malformed object count");
    const uint64_t width = uint64_t(1) << (marker & 0x0F);
    if (!fits(pos, width, 1)) return false;
    n = bigEndian(bytes + pos, width);
    pos += width;
    return true;
  }

  bool readsAsStored(uint64_t pos, uint64_t n, uint64_t unit) const {
    const uint8_t* p = bytes + pos;
    if (unit == 1)
      return std::find_if(p, p + n, [](uint8_t b) { return b >= 0x80; }) == p + n ||
             QUtf8StringView(reinterpret_cast<const char*>(p), qsizetype(n)).isValidUtf8();
    for (uint64_t i = 0; i < n; ++i) {
      const uint8_t high = p[2 * i];
      if (high >= 0xDC && high <= 0xDF) return false;  // a low surrogate with no high one before it
      if (high >= 0xD8 && high <= 0xDB && (++i == n || p[2 * i] < 0xDC || p[2 * i] > 0xDF)) return false;
    }
    return true;
  }

  bool hasNul(uint64_t pos, uint64_t n, uint64_t unit) {
    if (unit == 1) return std::memchr(bytes + pos, 0, size_t(n)) != nullptr;
    for (uint64_t i = 0; i < n; ++i)
      if (bytes[pos + 2 * i] == 0 && bytes[pos + 2 * i + 1] == 0) return true;
    return false;
  }

  // An object checked before: only what a key must be is left to see.
  bool known(uint64_t index, uint8_t seen, bool mustBeText, uint64_t& expanded) {
    if (mustBeText && seen == 2) return fail("dictionary key is not text");
    expanded = cost[index];
    // Keys are C strings to many readers (libplist aborts on a NUL inside one).
    return !(mustBeText && seen == 3) || fail("dictionary key holds a NUL");
  }

  bool visit(uint64_t index, int depth, bool mustBeText, uint64_t& expanded) {
    if (index >= objectCount) return fail("object reference out of range");
    if (state[index] >= 2) return known(index, state[index], mustBeText, expanded);
    if (state[index] == 1) return fail("reference cycle");
    uint64_t pos = bigEndian(offsetTable + index * offsetWidth, offsetWidth);
    if (pos < kHeaderSize || pos >= objectsEnd) return fail("object offset out of range");
    const uint8_t type = bytes[pos] >> 4, info = bytes[pos] & 0x0F;
    ++pos;
    if (mustBeText && type != 0x5 && type != 0x6) return fail("dictionary key is not text");
    if (depth > kMaxDepth) return fail("nesting too deep");
    uint64_t total = kNodeCost, n = 0;
    switch (type) {
      case 0x0:  // false, true
        if (info != 0x8 && info != 0x9) return fail("unsupported simple object");
        break;
      case 0x1:  // integer of 1, 2, 4, 8 or 16 bytes
        if (info > 4 || !fits(pos, uint64_t(1) << info, 1)) return fail("malformed integer");
        break;
      case 0x2:  // real of 4 or 8 bytes
        if ((info != 2 && info != 3) || !fits(pos, uint64_t(1) << info, 1)) return fail("malformed real");
        break;
      case 0x3:  // date
        if (info != 3 || !fits(pos, 8, 1)) return fail("malformed date");
        break;
      case 0x8:  // UID of 1, 2, 4 or 8 bytes
        if (!isReadableWidth(info + 1u) || !fits(pos, info + 1u, 1)) return fail("malformed UID");
        break;
      case 0x4:  // data
      case 0x5:  // ASCII text
      case 0x6:  // UTF-16 text, which becomes up to three UTF-8 bytes per unit
        if (!readCount(pos, info, n) || !fits(pos, n, type == 0x6 ? 2 : 1)) return false;
        total += n * (type == 0x6 ? 3 : 1);
        if (type != 0x4 && !altered) altered = !readsAsStored(pos, n, type == 0x6 ? 2 : 1);
        if (type != 0x4 && hasNul(pos, n, type == 0x6 ? 2 : 1)) {
          state[index] = 3;
          cost[index] = expanded = total;
          return !mustBeText || fail("dictionary key holds a NUL");
        }
        break;
      case 0xA:    // array: n references
      case 0xD: {  // dictionary: n key references, then n value references
        if (!readCount(pos, info, n)) return false;
        if (type == 0xD && n > std::numeric_limits<uint64_t>::max() / 2) return fail("malformed object count");
        const uint64_t refs = type == 0xD ? 2 * n : n;
        if (!fits(pos, refs, refWidth)) return false;
        state[index] = 1;
        for (uint64_t i = 0; i < refs; ++i) {
          const uint64_t child = bigEndian(bytes + pos + i * refWidth, refWidth);
          const bool key = type == 0xD && i < n;
          uint64_t childCost = 0;
          const bool sound = child < objectCount && state[child] >= 2 ? known(child, state[child], key, childCost)
                                                                      : visit(child, depth + 1, key, childCost);
          if (!sound) return false;
          total += childCost;
          if (total > budget) return fail("expands beyond its budget");
        }
        break;
      }
      default:
        return fail("unsupported object type");
    }
    if (total > budget) return fail("expands beyond its budget");
    state[index] = type == 0x5 || type == 0x6 ? 4 : 2;
    cost[index] = expanded = total;
    return true;
  }
};

}  // namespace

QString checkBinaryPlist(const QByteArray& data, bool* altered) {
  const uint64_t size = uint64_t(data.size());
  // No upper bound: the writer lays out files of any size with 8-byte offsets, and what is read is mapped.
  if (size < kHeaderSize + kTrailerSize) return QStringLiteral("too short");
  if (!data.startsWith("bplist00")) return QStringLiteral("not a binary property list");
  Checker c;
  c.bytes = reinterpret_cast<const uint8_t*>(data.constData());
  const uint8_t* trailer = c.bytes + size - kTrailerSize;
  c.offsetWidth = trailer[6];
  c.refWidth = trailer[7];
  c.objectCount = bigEndian(trailer + 8, 8);
  const uint64_t topObject = bigEndian(trailer + 16, 8);
  const uint64_t tableOffset = bigEndian(trailer + 24, 8);
  const uint64_t tableRoom = size - kTrailerSize;
  if (!isReadableWidth(c.offsetWidth) || !isReadableWidth(c.refWidth)) return QStringLiteral("unsupported integer widths");
  if (c.objectCount == 0 || topObject >= c.objectCount) return QStringLiteral("top object out of range");
  if (tableOffset < kHeaderSize || tableOffset > tableRoom ||
      c.objectCount > (tableRoom - tableOffset) / c.offsetWidth)
    return QStringLiteral("offset table out of range");
  c.objectsEnd = tableOffset;
  c.offsetTable = c.bytes + tableOffset;
  c.budget = kBudgetPerByte * size + kBudgetBase;
  c.state.assign(c.objectCount, 0);
  c.cost.assign(c.objectCount, 0);
  uint64_t expanded = 0;
  c.visit(topObject, 0, false, expanded);
  if (altered) *altered = c.error.isEmpty() && c.altered;
  return c.error;
}

}  // namespace ox
