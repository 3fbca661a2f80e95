#include "scanner/SoundtrackCheck.h"

#include <QByteArrayView>
#include <bit>

namespace {

using Bytes = QByteArrayView;

quint8 u8(Bytes b, qsizetype at) { return quint8(b[at]); }
quint32 be16(Bytes b, qsizetype at) { return quint32(u8(b, at)) << 8 | u8(b, at + 1); }
quint32 be32(Bytes b, qsizetype at) { return be16(b, at) << 16 | be16(b, at + 2); }
quint64 be64(Bytes b, qsizetype at) { return quint64(be32(b, at)) << 32 | be32(b, at + 4); }
quint32 le16(Bytes b, qsizetype at) { return quint32(u8(b, at + 1)) << 8 | u8(b, at); }
quint32 le32(Bytes b, qsizetype at) { return le16(b, at + 2) << 16 | le16(b, at); }
quint64 le64(Bytes b, qsizetype at) { return quint64(le32(b, at + 4)) << 32 | le32(b, at); }

bool has(Bytes b, qsizetype offset, Bytes magic) {
  return b.size() >= offset + magic.size() && b.sliced(offset, magic.size()) == magic;
}

// A raw frame's length from its header, 0 when the bytes hold none; `key` gets what every frame of one stream shares.
using FrameLength = qsizetype (*)(Bytes b, quint32* key);

// MPEG-1, -2 and -2.5 audio, layers I to III. A free bitrate gives no length, and no encoder of previews writes one.
qsizetype mpegFrameLength(Bytes b, quint32* key) {
  if (b.size() < 4 || u8(b, 0) != 0xFF || (u8(b, 1) & 0xE0) != 0xE0) return 0;
  const quint8 b1 = u8(b, 1), b2 = u8(b, 2);
  const int version = (b1 >> 3) & 3;  // 0: 2.5, 2: 2, 3: 1
  const int layer = (b1 >> 1) & 3;    // 1: III, 2: II, 3: I
  const int bitrateIndex = b2 >> 4, rateIndex = (b2 >> 2) & 3;
  if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3 || (u8(b, 3) & 3) == 2)
    return 0;
  static constexpr short kKilobits[5][15] = {
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 layer I
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 layer II
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 layer III
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2 and 2.5 layer I
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};         // MPEG-2 and 2.5 layers II, III
  static constexpr int kRates[3] = {44100, 48000, 32000};
  const bool mpeg1 = version == 3;
  const qint64 bitrate = qint64(kKilobits[mpeg1 ? 3 - layer : layer == 3 ? 3 : 4][bitrateIndex]) * 1000;
  const int rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  const int padding = (b2 >> 1) & 1;
  *key = quint32(b1 & 0xFE) << 8 | (b2 & 0x0C);
  if (layer == 3) return (12 * bitrate / rate + padding) * 4;
  return (layer == 1 && !mpeg1 ? 72 : 144) * bitrate / rate + padding;
}

// ADTS, raw AAC: the same sync as MPEG audio with the layer bits clear, and the frame's length in its header.
qsizetype adtsFrameLength(Bytes b, quint32* key) {
  if (b.size() < 7 || u8(b, 0) != 0xFF || (u8(b, 1) & 0xF6) != 0xF0 || ((u8(b, 2) >> 2) & 0x0F) >= 13) return 0;
  const qsizetype length = qsizetype(u8(b, 3) & 3) << 11 | qsizetype(u8(b, 4)) << 3 | u8(b, 5) >> 5;
  *key = quint32(u8(b, 1)) << 8 | (u8(b, 2) & 0x3C);
  return length >= ((u8(b, 1) & 1) ? 7 : 9) ? length : 0;
}

// AC-3 (its length from the sample rate and bitrate codes) and E-AC-3 (its length in the header).
qsizetype ac3FrameLength(Bytes b, quint32* key) {
  if (b.size() < 6 || u8(b, 0) != 0x0B || u8(b, 1) != 0x77) return 0;
  const int bsid = u8(b, 5) >> 3, rateCode = u8(b, 4) >> 6;
  if (bsid <= 10) {
    const int sizeCode = u8(b, 4) & 0x3F;
    if (rateCode == 3 || sizeCode >= 38) return 0;
    static constexpr short kKilobits[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                            192, 224, 256, 320, 384, 448, 512, 576, 640};
    static constexpr int kRates[3] = {48000, 44100, 32000};
    *key = 0x100 | rateCode;
    // 1,536 samples a frame, counted in 16-bit words; at 44.1 kHz every other size code holds one word more.
    const qint64 words = qint64(kKilobits[sizeCode / 2]) * 1000 * 1536 / (16 * kRates[rateCode]);
    return (words + (rateCode == 1 ? (sizeCode & 1) : 0)) * 2;
  }
  if (bsid > 16 || (u8(b, 2) >> 6) == 3 || (rateCode == 3 && ((u8(b, 4) >> 4) & 3) == 3)) return 0;
  *key = 0x200 | (u8(b, 4) >> 4);
  return ((qsizetype(u8(b, 2) & 7) << 8 | u8(b, 3)) + 1) * 2;
}

bool framesFollow(Bytes b, FrameLength frameLength) {
  quint32 first = 0, second = 0;
  const qsizetype length = frameLength(b, &first);
  return length > 0 && length < b.size() && frameLength(b.sliced(length), &second) > 0 && first == second;
}

// An ID3v2 tag's whole length, its footer included; 0 for no valid tag header.
qsizetype id3TagLength(Bytes b) {
  if (b.size() < 10 || !b.startsWith("ID3")) return 0;
  const quint8 version = u8(b, 3), flags = u8(b, 5);
  static constexpr quint8 kUndefinedFlags[5] = {0, 0, 0x3F, 0x1F, 0x0F};
  if (version < 2 || version > 4 || u8(b, 4) == 0xFF || (flags & kUndefinedFlags[version])) return 0;
  qsizetype size = 0;
  for (qsizetype i = 6; i < 10; ++i) {
    if (u8(b, i) & 0x80) return 0;
    size = size << 7 | u8(b, i);
  }
  return 10 + size + (version == 4 && (flags & 0x10) ? 10 : 0);
}

// ISO media boxes: a file begins with its type box or its movie or data, or with boxes that only fill space before
// them. A text never passes: its first four bytes read as a size of at least 151 MB, more than any preview is.
bool startsWithBoxes(Bytes b) {
  qsizetype at = 0;
  for (int boxes = 0; boxes < 8 && at + 8 <= b.size(); ++boxes) {
    const Bytes type = b.sliced(at + 4, 4);
    quint64 size = be32(b, at);
    quint64 header = 8;
    if (size == 1) {
      if (at + 16 > b.size()) return false;
      size = be64(b, at + 8);
      header = 16;
    } else if (size == 0) {
      size = quint64(b.size() - at);  // up to the end of the file
    }
    if (size < header || size > quint64(b.size() - at)) return false;
    if (type == "ftyp") {
      if (size < 16) return false;
      for (char c : b.sliced(at + 8, 4))
        if (c < 0x20 || c > 0x7E) return false;
      return true;
    }
    if (type == "moov" || type == "mdat") return true;
    if (type != "free" && type != "skip" && type != "wide") return false;
    at += qsizetype(size);
  }
  return false;
}

// EBML's variable-length integers: the count of leading zero bits of the first byte says how many bytes follow.
bool readVint(Bytes b, qsizetype& at, quint64& value, int most, bool keepMarker) {
  if (at >= b.size() || u8(b, at) == 0) return false;
  const int length = std::countl_zero(u8(b, at)) + 1;
  if (length > most || at + length > b.size()) return false;
  value = keepMarker ? u8(b, at) : u8(b, at) & (0xFF >> length);
  for (int i = 1; i < length; ++i) value = value << 8 | u8(b, at + i);
  at += length;
  return true;
}

// Matroska and WebM: the EBML header names its document type.
bool ebmlNamesMatroska(Bytes b) {
  qsizetype at = 4;
  quint64 size = 0, id = 0;
  if (!readVint(b, at, size, 8, false) || size > quint64(b.size() - at)) return false;
  const Bytes header = b.first(at + qsizetype(size));
  while (at < header.size()) {
    if (!readVint(header, at, id, 4, true) || !readVint(header, at, size, 8, false) ||
        size > quint64(header.size() - at))
      return false;
    if (id == 0x4282) {
      Bytes docType = header.sliced(at, qsizetype(size));
      while (docType.endsWith('\0')) docType.chop(1);
      return docType == "webm" || docType == "matroska";
    }
    at += qsizetype(size);
  }
  return false;
}

bool startsWithContainer(Bytes b) {
  if (b.size() < 12) return false;
  if (has(b, 0, "OggS")) return u8(b, 4) == 0 && (u8(b, 5) & 0xF8) == 0 && (u8(b, 5) & 0x02);  // a first page
  if (has(b, 0, "fLaC")) return (u8(b, 4) & 0x7F) == 0 && (be32(b, 4) & 0xFFFFFF) == 34;  // the stream info
  if (has(b, 0, "RIFF") || has(b, 0, "RF64") || has(b, 0, "BW64")) return has(b, 8, "WAVE");
  if (has(b, 0, "FORM")) return has(b, 8, "AIFF") || has(b, 8, "AIFC");
  if (has(b, 0, "caff")) return be16(b, 4) == 1 && be16(b, 6) == 0 && has(b, 8, "desc");
  if (has(b, 0, "wvpk")) return b.size() >= 32 && le32(b, 4) >= 24 && le16(b, 8) >= 0x402 && le16(b, 8) <= 0x410;
  if (has(b, 0, "\x1A\x45\xDF\xA3")) return ebmlNamesMatroska(b);
  if (has(b, 0, ".snd")) {  // the data past its header, a defined coding, and a rate and channels of real sound
    return b.size() >= 24 && be32(b, 4) >= 24 && be32(b, 4) <= quint32(b.size()) && be32(b, 12) >= 1 &&
           be32(b, 12) <= 27 && be32(b, 16) >= 1000 && be32(b, 16) <= 768000 && be32(b, 20) >= 1 &&
           be32(b, 20) <= 64;
  }
  static constexpr char kAsfHeader[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";
  if (has(b, 0, Bytes(kAsfHeader, 16))) return b.size() >= 24 && le64(b, 16) >= 30 && le64(b, 16) <= quint64(b.size());
  if (u8(b, 0) == 0x47) {  // transport stream packets, 188 bytes each
    constexpr qsizetype kPacket = 188, kPackets = 5;
    if (b.size() < kPacket * kPackets) return false;
    for (qsizetype i = 1; i < kPackets; ++i)
      if (u8(b, i * kPacket) != 0x47) return false;
    return true;
  }
  return startsWithBoxes(b) || framesFollow(b, mpegFrameLength) || framesFollow(b, adtsFrameLength) ||
         framesFollow(b, ac3FrameLength);
}

}  // namespace

bool SoundtrackCheck::readsAsSoundtrack(const QByteArray& bytes) {
  Bytes b(bytes);
  // Tags may come one after another; what they tag follows the last, at times after padding past its stated size.
  for (qsizetype tag = id3TagLength(b); tag > 0; tag = id3TagLength(b)) {
    if (tag >= b.size()) return false;
    b = b.sliced(tag);
    if (startsWithContainer(b)) return true;
    while (!b.isEmpty() && b.front() == '\0') b = b.sliced(1);
  }
  return startsWithContainer(b);
}
