// What the engine takes for a theme-music preview: every container and coding the player plays, as ffmpeg writes
// them, and none of the texts a captive portal or a wrong answer begins like one of them.
#include "scanner/SoundtrackCheck.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "tests/support/MediaSamples.h"

TEST(SoundtrackCheck, PreviewsInEveryContainerThePlayerTakesAreKept) {
  const oxtest::MediaSamples& s = oxtest::mediaSamples();
  if (!s.ok) GTEST_SKIP() << "no media samples (ffmpeg)";
  ASSERT_EQ(s.previews.size(), 21);
  for (const QString& path : s.previews) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    EXPECT_TRUE(SoundtrackCheck::readsAsSoundtrack(file.readAll())) << QFileInfo(path).fileName().toStdString();
  }
}

TEST(SoundtrackCheck, TextsThatBeginAsAudioDoesAreRefused) {
  const QByteArray page = QByteArray("<html><body><form action=/login>Sign in to the Wi-Fi</form></body></html>")
                              .repeated(10);
  const auto utf16 = [](const QString& text) {
    return "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  };
  const QList<QPair<const char*, QByteArray>> texts{
      {"UTF-16 'A'", utf16(QStringLiteral("A portal page. ").repeated(40))},
      {"UTF-16 '{'", utf16(QStringLiteral("{\"error\": \"sign in first\"} ").repeated(40))},
      {"ID3<html>", "ID3" + page},
      {"a tag with nothing playable after it", QByteArray("ID3\x04\0\0\0\0\0\0", 10) + page},
      {"a size byte of a tag past 0x7F", QByteArray("ID3\x03\0\0\0\0\x80\0", 10) + page},
      {"'free' at 4-7 of a comment", "<!--free Wi-Fi-->" + page},
      {"'free' at 4-7 of a status line", "HTTPfree " + page},
      {"an MPEG frame header then text", "\xFF\xFB\x90\x64" + page},
      {"an ADTS frame header then text", "\xFF\xF1\x50\x40\x1D\x5F\xFC" + page},
      {"an AC-3 frame header then text", QByteArray("\x0B\x77\0\0\x4C\x40", 6) + page},
      {"a Matroska header of another document type", QByteArray("\x1A\x45\xDF\xA3\x87\x42\x82\x84mkvx", 12) + page}};
  for (const auto& [what, bytes] : texts) EXPECT_FALSE(SoundtrackCheck::readsAsSoundtrack(bytes)) << what;
}
