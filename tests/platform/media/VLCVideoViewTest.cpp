#include "platform/media/VLCVideoView.h"

#include <gtest/gtest.h>

#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/media/VLCMediaPlayer.h"
#include "tests/support/MediaSamples.h"
#include "tests/support/TestUtil.h"

using namespace ox;

TEST(VLCVideoView, ShowsTheNewestFrameKeptToThePictureShape) {
  const oxtest::MediaSamples& s = oxtest::mediaSamples();
  if (!s.ok) GTEST_SKIP() << "ffmpeg could not make the sample media";
  // Wider than the 4:3 picture: black bars left and right.
  auto view = VLCVideoView::initWithFrame(QRectF(0, 0, 400, 150));
  auto player = VLCMediaPlayer::initWithVideoView(view);
  EXPECT_EQ(player->frameSink(), view->frameSink());
  player->setMedia(VLCMedia::mediaWithPath(s.bars));
  player->play();
  ASSERT_TRUE(oxtest::spinUntil([&] { return view->frameSink()->frameCount() >= 2 && !view->layer()->contents().isNull(); },
                                60000));
  player->pause();
  Renderer renderer;
  const QImage img = renderer.renderToImage(view->layer(), QSize(400, 150), LayerClock::now());
  // The picture is 200 wide in the middle; its first bar (white at 75%) starts at x = 100.
  EXPECT_EQ(QColor(img.pixel(50, 30)), QColor(Qt::black));
  EXPECT_EQ(QColor(img.pixel(350, 30)), QColor(Qt::black));
  const QColor white(img.pixel(110, 30));
  EXPECT_NEAR(white.red(), 191, 40);
  EXPECT_NEAR(white.blue(), 191, 40);
  const QColor blue(img.pixel(290, 30));  // the last bar
  EXPECT_LT(blue.red(), 60);
  EXPECT_NEAR(blue.blue(), 191, 40);

  // The view may go first: the player's pictures are then shown nowhere.
  view.reset();
  player->play();
  const quint64 frames = player->frameSink()->frameCount();
  EXPECT_TRUE(oxtest::spinUntil([&] { return player->frameSink()->frameCount() > frames + 2; }, 5000));
}
