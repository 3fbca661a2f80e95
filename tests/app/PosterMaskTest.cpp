#include <gtest/gtest.h>

#include <QPainter>
#include <thread>

#include "app/OXPosterMaskView.h"

TEST(PosterMasks, CornerMaskIsOpaqueInsideAndClearInTheCorners) {
  const QImage mask = std::make_shared<OXPosterMaskCornerRadius>(QRectF(0, 0, 100, 150))->imageWithSubviews();
  ASSERT_EQ(mask.size(), QSize(100, 150));
  for (QPoint corner : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 149), QPoint(99, 149), QPoint(0, 1), QPoint(1, 0)})
    EXPECT_EQ(mask.pixelColor(corner).alpha(), 0) << corner.x() << "," << corner.y();
  EXPECT_EQ(mask.pixelColor(50, 75), QColor(Qt::black));
  EXPECT_EQ(mask.pixelColor(0, 75).alpha(), 255);   // the straight edges run to the border
  EXPECT_EQ(mask.pixelColor(50, 0).alpha(), 255);
  EXPECT_EQ(mask.pixelColor(6, 6).alpha(), 255);    // inside the arc
  // Radius 6: the pixel one in from both edges is only partly inside the quarter circle.
  EXPECT_GT(mask.pixelColor(1, 1).alpha(), 0);
  EXPECT_LT(mask.pixelColor(1, 1).alpha(), 64);
}

TEST(PosterMasks, FrameIsTransparentButForItsTwoOutlines) {
  const QImage frame = std::make_shared<OXPosterMaskView>(QRectF(0, 0, 100, 150))->imageWithSubviews();
  ASSERT_EQ(frame.size(), QSize(100, 150));
  // Both 1-point lines are centred on their paths: the outer one on the canvas edge (half of it inside, in the
  // first pixel column), the inner one on x = 1 (half in the first column, half in the second).
  const QColor edge = frame.pixelColor(0, 75);
  EXPECT_NEAR(edge.alpha(), 139, 3);  // black 0.5 over white 0.09
  EXPECT_LT(edge.red(), 30);
  const QColor inner = frame.pixelColor(1, 75);
  EXPECT_NEAR(inner.alpha(), 23, 3);  // white at 0.18, half covered
  EXPECT_GT(inner.red(), 240);
  EXPECT_EQ(frame.pixelColor(2, 75).alpha(), 0);
  EXPECT_EQ(frame.pixelColor(50, 75).alpha(), 0);
  EXPECT_EQ(frame.pixelColor(50, 1).alpha(), frame.pixelColor(1, 75).alpha());
  EXPECT_EQ(frame.pixelColor(0, 0).alpha(), 0);  // the outline rounds the corner

  // Composed as the poster composer does: the corner mask with destination-in keeps the poster inside it.
  QImage poster(100, 150, QImage::Format_ARGB32_Premultiplied);
  poster.fill(Qt::yellow);
  QPainter p(&poster);
  p.drawImage(0, 0, frame);
  p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
  p.drawImage(0, 0, OXPosterMaskCornerRadius(QRectF(0, 0, 100, 150)).imageWithSubviews());
  p.end();
  EXPECT_EQ(poster.pixelColor(0, 0).alpha(), 0);
  EXPECT_EQ(poster.pixelColor(50, 75), QColor(Qt::yellow));
}

TEST(PosterMasks, DrawnOffTheMainThreadTwoAtATime) {
  QImage a, b;
  std::thread t1([&] { a = OXPosterMaskView(QRectF(0, 0, 322, 477)).imageWithSubviews(); });
  std::thread t2([&] { b = OXPosterMaskCornerRadius(QRectF(0, 0, 322, 477)).imageWithSubviews(); });
  t1.join();
  t2.join();
  EXPECT_EQ(a.size(), QSize(322, 477));
  EXPECT_EQ(b.pixelColor(161, 238), QColor(Qt::black));
}
