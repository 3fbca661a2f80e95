#include <gtest/gtest.h>

#include <QTimeZone>

#include "scanner/CommonDigest.h"
#include "scanner/SimpleDate.h"
#include "scanner/StringHelper.h"

namespace {

QByteArray hex(const QByteArray& raw) { return raw.toHex(); }

struct Vector {
  const char* input;
  const char* md2;
  const char* md4;
  const char* md5;
};

// The test suites of RFC 1319, 1320 and 1321.
const Vector kRfcSuite[] = {
    {"", "8350e5a3e24c153df2275c9f80692773", "31d6cfe0d16ae931b73c59d7e0c089c0", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "32ec01ec4a6dac72c0ab96fb34c0b5d1", "bde52cb31de33e46245e05fbdbd6fb24", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "da853b0d3f88d99b30283a69e6ded6bb", "a448017aaf21d8525fc10ae87aa6729d",
     "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "ab4f496bfb2a530b219ff33031fe06b0", "d9130a8164549fe818874806e1c7014b",
     "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "4e8ddff3650292ab5a4108c3aa47940b", "d79e1c308aa5bbcdeea8ed63df412da9",
     "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "da33def2a42df13975352846c30338cd",
     "043f8582f241db351ce627e153e7f0e4", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "d5976f79d83d3a0dc9806c3c66f3efd8", "e33b4ddc9c38f2199c3e7b164fcc0536", "57edf4a22be3c955ac49da2e2107b67a"},
};

}  // namespace

TEST(CommonDigest, RfcTestSuites) {
  for (const Vector& v : kRfcSuite) {
    const QByteArray in(v.input);
    EXPECT_EQ(hex(CommonDigest::md2(in)), v.md2) << v.input;
    EXPECT_EQ(hex(CommonDigest::md4(in)), v.md4) << v.input;
    EXPECT_EQ(hex(CommonDigest::md5(in)), v.md5) << v.input;
  }
  // MD4 padding edges (checked against OpenSSL): around 56 bytes the tail needs one or two blocks.
  EXPECT_EQ(hex(CommonDigest::md4(QByteArray(55, 'a'))), "c889c81dd86c4d2e025778944ea02881");
  EXPECT_EQ(hex(CommonDigest::md4(QByteArray(56, 'a'))), "d5f9a9e9257077a5f08b0b92f348b0ad");
  EXPECT_EQ(hex(CommonDigest::md4(QByteArray(64, 'a'))), "52f5076fabd22680234a3fa9f9dc5732");
}

TEST(CommonDigest, Fips180Vectors) {
  const QByteArray abc("abc");
  EXPECT_EQ(hex(CommonDigest::sha1(abc)), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(hex(CommonDigest::sha224(abc)), "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7");
  EXPECT_EQ(hex(CommonDigest::sha256(abc)), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(hex(CommonDigest::sha384(abc)),
            "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7");
  EXPECT_EQ(hex(CommonDigest::sha512(abc)),
            "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423"
            "643ce80e2a9ac94fa54ca49f");
  const QByteArray twoBlocks("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq");
  EXPECT_EQ(hex(CommonDigest::sha1(twoBlocks)), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(hex(CommonDigest::sha256(twoBlocks)), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(CommonDigest, EmptyBufferGivesFullLengthDigests) {
  const QByteArray none;
  EXPECT_EQ(CommonDigest::md2(none).size(), 16);
  EXPECT_EQ(CommonDigest::sha1(none).size(), 20);
  EXPECT_EQ(CommonDigest::sha224(none).size(), 28);
  EXPECT_EQ(CommonDigest::sha384(none).size(), 48);
  EXPECT_EQ(hex(CommonDigest::sha256(none)), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(hex(CommonDigest::sha512(none)).left(16), "cf83e1357eefb8bd");
}

TEST(CommonDigest, Crc32) {
  EXPECT_EQ(CommonDigest::crc32(QByteArray("123456789")), 3421780262ull);
  EXPECT_EQ(CommonDigest::crc32(QByteArray()), 0ull);
  EXPECT_EQ(CommonDigest::crc32(QByteArray("The quick brown fox jumps over the lazy dog")), 0x414FA339ull);
}

TEST(SimpleDate, FormatsTheLocalDay) {
  const QDateTime day(QDate(2026, 12, 8), QTime(13, 5));
  EXPECT_EQ(SimpleDate::currentDayMonthYear(day), "08_12_2026");
  EXPECT_EQ(SimpleDate::currentYear(day), "2026");
  EXPECT_EQ(SimpleDate::currentMonthNumber(day), "12");
  EXPECT_EQ(SimpleDate::currentDayNumber(day), "08");
  // The present day, and a moment given in another zone, are both read in local time.
  EXPECT_EQ(SimpleDate::currentYear(), QString::number(QDate::currentDate().year()));
  const QDateTime utc = QDateTime(QDate(2026, 12, 8), QTime(13, 5), QTimeZone::utc());
  EXPECT_EQ(SimpleDate::currentDayMonthYear(utc), utc.toLocalTime().toString("dd_MM_yyyy"));
}

TEST(StringHelper, PipedLists) {
  EXPECT_EQ(StringHelper::pipedStringToArray("|Ada Quill|Bram Sorel|"), QStringList({"Ada Quill", "Bram Sorel"}));
  EXPECT_EQ(StringHelper::pipedStringToArray("Drama"), QStringList({"Drama"}));
  EXPECT_EQ(StringHelper::pipedStringToArray("|"), QStringList({""}));
  EXPECT_EQ(StringHelper::pipedStringToArray("a||b"), QStringList({"a", "", "b"}));
  EXPECT_EQ(StringHelper::pipedStringToArray("||x||"), QStringList({"", "x", ""}));
  EXPECT_EQ(StringHelper::pipedStringToArray(""), QStringList({""}));
  EXPECT_TRUE(StringHelper::pipedStringToArray(QString()).isEmpty());
}

TEST(StringHelper, Dates) {
  const QDateTime d = StringHelper::stringToDate("2009-09-22");
  EXPECT_EQ(d, QDateTime(QDate(2009, 9, 22), QTime(0, 0)));
  EXPECT_EQ(d.timeSpec(), Qt::LocalTime);
  EXPECT_FALSE(StringHelper::stringToDate("").isValid());
  EXPECT_FALSE(StringHelper::stringToDate(QString()).isValid());
  EXPECT_FALSE(StringHelper::stringToDate("22/09/2009").isValid());
  EXPECT_FALSE(StringHelper::stringToDate("2009-02-30").isValid());
  EXPECT_FALSE(StringHelper::stringToDate("2009-09-22 junk").isValid());
}
