// The frame tool's pictures of the playback display, checked where their controls must stand.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "tests/support/MediaSamples.h"
#include "tests/support/TestUtil.h"

namespace {

int whitePixels(const QImage& img, const QRect& area) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb p = img.pixel(x, y);
      if (qRed(p) >= 245 && qGreen(p) >= 245 && qBlue(p) >= 245) ++n;
    }
  return n;
}

double brightness(const QImage& img, const QRect& area) {
  double sum = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) sum += qGray(img.pixel(x, y));
  return sum / (area.width() * area.height());
}

int channelSum(QRgb p) { return qRed(p) + qGreen(p) + qBlue(p); }

// Where the progress track ends on its middle row: the filled part is white at its left, under the elapsed time, and
// the half-transparent track lifts the picture above what the same column shows just under it. -1 when the track is
// not seen towards the right.
int trackRightEnd(const QImage& img) {
  int top = -1, bottom = -1;  // the lowest white run, under the elapsed time's digits
  for (int y = img.height() - 1; y >= 990; --y) {
    if (channelSum(img.pixel(220, y)) >= 3 * 245) {
      if (bottom < 0) bottom = y;
      top = y;
    } else if (bottom >= 0) {
      break;
    }
  }
  if (top < 0) return -1;
  const int row = (top + bottom) / 2, below = bottom + 10;
  if (below >= img.height()) return -1;
  auto lifted = [&](int x) { return channelSum(img.pixel(x, row)) - channelSum(img.pixel(x, below)) > 60; };
  int end = -1;
  for (int x = 1500; x < img.width() && (x == 1500 ? lifted(x) : true); ++x)
    if (lifted(x)) end = x;
  return end;
}

}  // namespace

TEST(PlaybackFrames, DisplayAndOptionsPanelOverThePlayingPattern) {
  if (!oxtest::mediaSamples().ok) GTEST_SKIP() << "no ffmpeg";
  QTemporaryDir out;
  ASSERT_TRUE(out.isValid());
  std::unique_ptr<QProcess> tool;
  ASSERT_TRUE(oxtest::startProcess(tool, QStringLiteral(OX_BINARY_DIR "/tools/ox-frames"), {out.path(), "playback"},
                                   oxtest::programEnvironment()));
  ASSERT_TRUE(tool->waitForFinished(240000));
  ASSERT_EQ(tool->exitCode(), 0) << tool->readAllStandardError().toStdString();
  const QImage display(out.filePath("playback_display.png")), options(out.filePath("playback_options.png"));
  ASSERT_EQ(display.size(), QSize(1920, 1080));
  ASSERT_EQ(options.size(), QSize(1920, 1080));

  // The pattern fills the picture; the pause glyph stands at the bottom left, the times and title above the track.
  EXPECT_GT(brightness(display, QRect(0, 0, 1920, 600)), 60);
  EXPECT_GT(whitePixels(display, QRect(40, 940, 120, 140)), 1500);
  EXPECT_GT(whitePixels(display, QRect(180, 980, 220, 50)), 150);   // elapsed time
  EXPECT_GT(whitePixels(display, QRect(1680, 980, 220, 50)), 150);  // remaining time
  EXPECT_GT(whitePixels(display, QRect(860, 980, 300, 50)), 150);   // title
  EXPECT_LT(whitePixels(display, QRect(0, 0, 1920, 900)), 2000);    // nothing else of ours over the picture
  // The track's rounded right end stands inside the picture, under the end of the remaining time.
  const int end = trackRightEnd(display);
  EXPECT_GT(end, 1860);
  EXPECT_LT(end, 1900);

  // The panel dims the picture and puts the chosen subtitle row, white, in the middle.
  EXPECT_LT(brightness(options, QRect(1500, 100, 200, 150)), 0.45 * brightness(display, QRect(1500, 100, 200, 150)));
  EXPECT_GT(whitePixels(options, QRect(760, 500, 400, 80)), 400);
  EXPECT_GT(whitePixels(options, QRect(860, 330, 200, 50)), 100);  // "Subtitle", the focused column's title
}

TEST(PlaybackFrames, EpisodeMenuAndTrailerDisplay) {
  if (!oxtest::mediaSamples().ok) GTEST_SKIP() << "no ffmpeg";
  QTemporaryDir out;
  ASSERT_TRUE(out.isValid());
  std::unique_ptr<QProcess> tool;
  ASSERT_TRUE(oxtest::startProcess(tool, QStringLiteral(OX_BINARY_DIR "/tools/ox-frames"), {out.path(), "episodes", "trailer"},
                                   oxtest::programEnvironment()));
  ASSERT_TRUE(tool->waitForFinished(240000));
  ASSERT_EQ(tool->exitCode(), 0) << tool->readAllStandardError().toStdString();
  const QImage menu(out.filePath("episode_menu.png")), trailer(out.filePath("trailer_display.png"));
  ASSERT_EQ(menu.size(), QSize(1920, 1080));
  ASSERT_EQ(trailer.size(), QSize(1920, 1080));

  // The season's title over the row, the chosen thumbnail in the middle, the missing one's empty frame grey.
  EXPECT_GT(whitePixels(menu, QRect(860, 715, 200, 50)), 100);
  EXPECT_GT(brightness(menu, QRect(900, 860, 120, 60)), 60);
  const QRgb empty = menu.pixel(1300, 950);
  EXPECT_NEAR(qRed(empty), qBlue(empty), 16);
  EXPECT_LT(qGray(empty), 80);

  // Paused and waiting: the buffering text above the controls, the title and the times on the track.
  EXPECT_GT(whitePixels(trailer, QRect(760, 860, 400, 100)), 400);
  EXPECT_GT(whitePixels(trailer, QRect(860, 980, 300, 50)), 150);
  EXPECT_GT(whitePixels(trailer, QRect(40, 940, 120, 140)), 1500);
  const int end = trackRightEnd(trailer);
  EXPECT_GT(end, 1860);
  EXPECT_LT(end, 1900);
}
