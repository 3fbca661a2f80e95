// Pictures under perspective, warped by our own pass, against QPainter's drawing of the same map.
#include <gtest/gtest.h>

#include <QPainter>

#include "platform/layers/ImageWarp.h"

namespace {

QImage picture(QImage::Format format) {
  QImage img(120, 180, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  for (int y = 0; y < img.height(); y += 10)
    for (int x = 0; x < img.width(); x += 10)
      p.fillRect(x, y, 10, 10, QColor::fromHsv((x + 2 * y) % 360, 200, 120 + (x * y) % 130, 130 + (x + y) % 120));
  p.end();
  return img.convertToFormat(format);
}

}  // namespace

TEST(ImageWarp, PicturesUnderPerspectiveMatchQPaintersOwnDrawing) {
  // Turned away to either side, mirrored below as a reflection is, mildly and strongly.
  const QTransform maps[] = {QTransform(0.8, 0.05, 0.0004, 0.0, 1.0, 0.00005, 30.3, 20.7, 1.0),
                             QTransform(1.1, -0.1, -0.0009, 0.02, 0.9, 0.0001, 60.5, 10.25, 1.0),
                             QTransform(0.9, 0.0, 0.0006, 0.0, -1.0, 0.0, 12.0, 230.4, 1.0),
                             QTransform(1.0, 0.0, 0.00001, 0.0, 1.0, 0.0, 0.5, 0.5, 1.0)};
  for (const QImage::Format format : {QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB32}) {
    const QImage src = picture(format);
    for (const QTransform& map : maps) {
      const QRect area = map.mapRect(QRectF(src.rect())).toAlignedRect().adjusted(-2, -2, 2, 2);
      const QTransform toOut = map * QTransform::fromTranslate(-area.x(), -area.y());
      QImage ours(area.size(), QImage::Format_ARGB32_Premultiplied);
      ours.fill(Qt::red);  // every pixel is written
      ASSERT_TRUE(ox::detail::warpImage(src, toOut, ours));
      QImage qt(area.size(), QImage::Format_ARGB32_Premultiplied);
      qt.fill(Qt::transparent);
      QPainter p(&qt);
      p.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::Antialiasing);
      p.setTransform(toOut);
      p.drawImage(0, 0, src);
      p.end();
      double sum = 0;
      int covered = 0, off = 0;
      for (int y = 0; y < area.height(); ++y)
        for (int x = 0; x < area.width(); ++x) {
          const QRgb a = ours.pixel(x, y), b = qt.pixel(x, y);
          const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
          if (!qAlpha(a) && !qAlpha(b)) continue;
          ++covered;
          sum += d;
          off += d > 8;  // only along the edges, where coverage is reckoned another way
        }
      ASSERT_GT(covered, 1000);
      EXPECT_LT(sum / covered, 0.5) << format << " " << map.m13();
      EXPECT_LT(off, covered / 200) << format << " " << map.m13();
    }
  }
}

TEST(ImageWarp, WhatThePassCannotTakeIsLeftToQPainter) {
  QImage out(50, 50, QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::green);
  // A corner at or behind the eye.
  EXPECT_FALSE(ox::detail::warpImage(picture(QImage::Format_RGB32), QTransform(1, 0, -0.01, 0, 1, 0, 0, 0, 1), out));
  // A picture of another format.
  EXPECT_FALSE(ox::detail::warpImage(picture(QImage::Format_RGB888), QTransform(), out));
  EXPECT_EQ(out.pixel(10, 10), QColor(Qt::green).rgba());
}
