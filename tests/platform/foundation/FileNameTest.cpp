#include "platform/foundation/FileName.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>

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
