#include "scanner/CommonDigest.h"

#include <QCryptographicHash>
#include <array>
#include <cstdint>
#include <cstring>

namespace {

bool acceptable(const QByteArray& data) { return static_cast<quint64>(data.size()) <= 0xFFFFFFFFull; }

QByteArray platformDigest(const QByteArray& data, QCryptographicHash::Algorithm algorithm) {
  if (!acceptable(data)) return {};
  return QCryptographicHash::hash(data, algorithm);
}

// RFC 1319: the permutation of 0..255 built from the digits of pi.
constexpr std::array<uint8_t, 256> kPiSubst = {
    41,  46,  67,  201, 162, 216, 124, 1,   61,  54,  84,  161, 236, 240, 6,   19,  98,  167, 5,   243, 192, 199,
    115, 140, 152, 147, 43,  217, 188, 76,  130, 202, 30,  155, 87,  60,  253, 212, 224, 22,  103, 66,  111, 24,
    138, 23,  229, 18,  190, 78,  196, 214, 218, 158, 222, 73,  160, 251, 245, 142, 187, 47,  238, 122, 169, 104,
    121, 145, 21,  178, 7,   63,  148, 194, 16,  137, 11,  34,  95,  33,  128, 127, 93,  154, 90,  144, 50,  39,
    53,  62,  204, 231, 191, 247, 151, 3,   255, 25,  48,  179, 72,  165, 181, 209, 215, 94,  146, 42,  172, 86,
    170, 198, 79,  184, 56,  210, 150, 164, 125, 182, 118, 252, 107, 226, 156, 116, 4,   241, 69,  157, 112, 89,
    100, 113, 135, 32,  134, 91,  207, 101, 230, 45,  168, 2,   27,  96,  37,  173, 174, 176, 185, 246, 28,  70,
    97,  105, 52,  64,  126, 15,  85,  71,  163, 35,  221, 81,  175, 58,  195, 92,  249, 206, 186, 197, 234, 38,
    44,  83,  13,  110, 133, 40,  132, 9,   211, 223, 205, 244, 65,  129, 77,  82,  106, 220, 55,  200, 108, 193,
    171, 250, 36,  225, 123, 8,   12,  189, 177, 74,  120, 136, 149, 139, 227, 99,  232, 109, 233, 203, 213, 254,
    59,  0,   29,  57,  242, 239, 183, 14,  102, 88,  208, 228, 166, 119, 114, 248, 235, 117, 75,  10,  49,  68,
    80,  180, 143, 237, 31,  26,  219, 153, 141, 51,  159, 17,  131, 20};

uint32_t rotl(uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

uint32_t load32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void md4Block(uint32_t state[4], const uint8_t* block) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = load32(block + 4 * i);
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  auto f = [](uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); };
  auto g = [](uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (x & z) | (y & z); };
  auto h = [](uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; };
  static constexpr int r1[4] = {3, 7, 11, 19}, r2[4] = {3, 5, 9, 13}, r3[4] = {3, 9, 11, 15};
  static constexpr int order3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
  uint32_t* regs[4] = {&a, &d, &c, &b};  // the rotation of the four registers, step by step
  for (int i = 0; i < 16; ++i) {
    uint32_t& t = *regs[i % 4];
    uint32_t &u = *regs[(i + 3) % 4], &v = *regs[(i + 2) % 4], &w = *regs[(i + 1) % 4];
    t = rotl(t + f(u, v, w) + x[i], r1[i % 4]);
  }
  for (int i = 0; i < 16; ++i) {
    uint32_t& t = *regs[i % 4];
    uint32_t &u = *regs[(i + 3) % 4], &v = *regs[(i + 2) % 4], &w = *regs[(i + 1) % 4];
    t = rotl(t + g(u, v, w) + x[(i % 4) * 4 + i / 4] + 0x5A827999u, r2[i % 4]);
  }
  for (int i = 0; i < 16; ++i) {
    uint32_t& t = *regs[i % 4];
    uint32_t &u = *regs[(i + 3) % 4], &v = *regs[(i + 2) % 4], &w = *regs[(i + 1) % 4];
    t = rotl(t + h(u, v, w) + x[order3[i]] + 0x6ED9EBA1u, r3[i % 4]);
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

constexpr std::array<uint32_t, 256> makeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();

}  // namespace

QByteArray CommonDigest::md2(const QByteArray& data) {
  if (!acceptable(data)) return {};
  // Padding to a multiple of 16 bytes (always at least one byte), then the 16-byte checksum.
  QByteArray m = data;
  const int pad = 16 - int(m.size() % 16);
  m.append(pad, char(pad));
  uint8_t checksum[16] = {};
  uint8_t last = 0;
  for (qsizetype i = 0; i < m.size(); i += 16) {
    for (int j = 0; j < 16; ++j) {
      checksum[j] ^= kPiSubst[uint8_t(m[i + j]) ^ last];
      last = checksum[j];
    }
  }
  m.append(reinterpret_cast<const char*>(checksum), 16);
  uint8_t x[48] = {};
  for (qsizetype i = 0; i < m.size(); i += 16) {
    for (int j = 0; j < 16; ++j) {
      x[16 + j] = uint8_t(m[i + j]);
      x[32 + j] = x[16 + j] ^ x[j];
    }
    uint8_t t = 0;
    for (int j = 0; j < 18; ++j) {
      for (int k = 0; k < 48; ++k) t = x[k] ^= kPiSubst[t];
      t = uint8_t(t + j);
    }
  }
  return QByteArray(reinterpret_cast<const char*>(x), 16);
}

QByteArray CommonDigest::md4(const QByteArray& data) {
  if (!acceptable(data)) return {};
  uint32_t state[4] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};
  const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
  const quint64 length = quint64(data.size());
  quint64 done = 0;
  for (; done + 64 <= length; done += 64) md4Block(state, bytes + done);
  // Tail: the remaining bytes, a one bit, zeros, and the length in bits (little-endian) in one or two blocks.
  uint8_t tail[128] = {};
  const size_t rest = size_t(length - done);
  if (rest) std::memcpy(tail, bytes + done, rest);
  tail[rest] = 0x80;
  const size_t total = rest < 56 ? 64 : 128;
  const quint64 bits = length * 8;
  for (int i = 0; i < 8; ++i) tail[total - 8 + i] = uint8_t(bits >> (8 * i));
  for (size_t off = 0; off < total; off += 64) md4Block(state, tail + off);
  QByteArray out(16, Qt::Uninitialized);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) out[4 * i + j] = char(state[i] >> (8 * j));
  return out;
}

QByteArray CommonDigest::md5(const QByteArray& data) { return platformDigest(data, QCryptographicHash::Md5); }
QByteArray CommonDigest::sha1(const QByteArray& data) { return platformDigest(data, QCryptographicHash::Sha1); }
QByteArray CommonDigest::sha224(const QByteArray& data) { return platformDigest(data, QCryptographicHash::Sha224); }
QByteArray CommonDigest::sha256(const QByteArray& data) { return platformDigest(data, QCryptographicHash::Sha256); }
QByteArray CommonDigest::sha384(const QByteArray& data) { return platformDigest(data, QCryptographicHash::Sha384); }
QByteArray CommonDigest::sha512(const QByteArray& data) { return platformDigest(data, QCryptographicHash::Sha512); }

quint64 CommonDigest::crc32(const QByteArray& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char c : data) crc = kCrcTable[(crc ^ uint8_t(c)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}
