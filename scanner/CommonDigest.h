#pragma once
#include <QByteArray>
#include <QtGlobal>

// Message digests and the CRC-32 of a byte buffer. Each digest answers the raw digest bytes (not hex text), at the
// algorithm's full length, also for an empty buffer. Buffers of 4 GiB or more are outside what these accept (the
// digests take a 32-bit length): they answer an empty buffer.
struct CommonDigest {
  static QByteArray md2(const QByteArray& data);     // RFC 1319, 16 bytes
  static QByteArray md4(const QByteArray& data);     // RFC 1320, 16 bytes
  static QByteArray md5(const QByteArray& data);     // RFC 1321, 16 bytes
  static QByteArray sha1(const QByteArray& data);    // FIPS 180, 20 bytes
  static QByteArray sha224(const QByteArray& data);  // 28 bytes
  static QByteArray sha256(const QByteArray& data);  // 32 bytes
  static QByteArray sha384(const QByteArray& data);  // 48 bytes
  static QByteArray sha512(const QByteArray& data);  // 64 bytes
  // Reflected CRC-32, polynomial 0xEDB88320, initial value and final complement 0xFFFFFFFF (the zlib form).
  static quint64 crc32(const QByteArray& data);
};
