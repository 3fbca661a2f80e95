#include "platform/foundation/FileName.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>
#include <QUrl>

TEST(FileName, AnyBytesReadBackAsTheyWereAndUtf8NamesAsQtReadsThem) {
  for (const QByteArray& utf8 : {QByteArray("plain.mkv"), QByteArray("Caf\xc3\xa9 No\xc3\xabl.mkv"),
                                QByteArray("\xf0\x9f\x8e\xac film.mkv"), QByteArray("\xef\xbf\xbd.mkv")}) {
    EXPECT_EQ(ox::decodeFileName(utf8), QFile::decodeName(utf8));
    EXPECT_EQ(ox::encodeFileName(ox::decodeFileName(utf8)), utf8);
    EXPECT_EQ(ox::readableFileName(ox::decodeFileName(utf8)), QFile::decodeName(utf8));
  }
  // Read by people, kept bytes are the letters of an old Windows disk.
  EXPECT_EQ(ox::readableFileName(ox::decodeFileName("Don\x92t Caf\xe9 \x80\x81")), "Don\u2019t Caf\u00e9 \u20ac\u0081");
  // Latin-1, a cut sequence, an overlong form, an encoded surrogate, a character of the escape range itself.
  for (const QByteArray& odd : {QByteArray("Caf\xe9"), QByteArray("\xc3"), QByteArray("\xc0\xaf"),
                               QByteArray("\xed\xb2\x80"), QByteArray("\xee\xbf\xa9"), QByteArray("\xf4\x90\x80\x80")}) {
    const QString text = ox::decodeFileName(odd);
    EXPECT_EQ(ox::encodeFileName(text), odd) << odd.toHex().constData();
    EXPECT_TRUE(QStringView(text).isValidUtf16());
  }
  QRandomGenerator random(7);
  for (int i = 0; i < 2000; ++i) {
    QByteArray bytes(int(random.bounded(1, 24)), Qt::Uninitialized);
    for (char& c : bytes) c = char(random.bounded(1, 256));
    ASSERT_EQ(ox::encodeFileName(ox::decodeFileName(bytes)), bytes) << bytes.toHex().constData();
  }
}

// A folder's URL as a drop or a folder chooser gives it carries the name's bytes: the path keeps them, and the URL
// made back reads as it is written (as the library stores it), for any bytes and for the names Qt reads alike.
TEST(FileName, FileURLsCarryAPathsBytes) {
  const QUrl dropped("file:///media/Caf%E9%20Films/");
  EXPECT_EQ(ox::encodeFileName(ox::pathOfFileURL(dropped)), "/media/Caf\xe9 Films/");
  EXPECT_EQ(ox::pathOfFileURL(QUrl::fromLocalFile("/m/Caf\u00e9 #1%")), "/m/Caf\u00e9 #1%");
  EXPECT_EQ(ox::fileURLOfPath("/m/Caf\u00e9 #1%"), QUrl::fromLocalFile("/m/Caf\u00e9 #1%"));
  EXPECT_EQ(ox::pathOfFileURL(QUrl("https://example.org/a")), QString());
  QRandomGenerator random(11);
  for (int i = 0; i < 2000; ++i) {
    QByteArray bytes(int(random.bounded(1, 24)), Qt::Uninitialized);
    for (char& c : bytes) c = char(random.bounded(1, 256));
    const QString path = ox::decodeFileName("/" + bytes);
    const QUrl url = ox::fileURLOfPath(path);
    ASSERT_EQ(ox::pathOfFileURL(url), path) << bytes.toHex().constData();
    const QString text = url.toString(QUrl::FullyEncoded);
    ASSERT_EQ(QUrl(text).toString(QUrl::FullyEncoded), text) << bytes.toHex().constData();
  }
}
