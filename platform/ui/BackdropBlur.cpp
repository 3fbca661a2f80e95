#include "platform/ui/BackdropBlur.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ox {

namespace {

// One horizontal box pass over every row, premultiplied channels kept together.
void boxRows(QImage& img, int r) {
  const int w = img.width(), h = img.height();
  std::vector<QRgb> line(static_cast<std::size_t>(w));
  const int span = 2 * r + 1;
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    std::copy(row, row + w, line.begin());
    int sum[4] = {0, 0, 0, 0};
    auto add = [&](QRgb c, int sign) {
      sum[0] += sign * qAlpha(c);
      sum[1] += sign * qRed(c);
      sum[2] += sign * qGreen(c);
      sum[3] += sign * qBlue(c);
    };
    for (int x = -r; x <= r; ++x) add(line[std::size_t(std::clamp(x, 0, w - 1))], 1);
    for (int x = 0; x < w; ++x) {
      row[x] = qRgba(sum[1] / span, sum[2] / span, sum[3] / span, sum[0] / span);
      add(line[std::size_t(std::clamp(x + r + 1, 0, w - 1))], 1);
      add(line[std::size_t(std::clamp(x - r, 0, w - 1))], -1);
    }
  }
}

QImage transposed(const QImage& img) {
  QImage out(img.height(), img.width(), img.format());
  for (int y = 0; y < img.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    for (int x = 0; x < img.width(); ++x) reinterpret_cast<QRgb*>(out.scanLine(x))[y] = row[x];
  }
  return out;
}

}  // namespace

QImage blurredBackdrop(const QImage& source, double radius) {
  if (!(radius > 0) || source.isNull()) return source;
  // Reduce so that the blur left to do is a few pixels wide.
  const double factor = std::clamp(radius / 4.0, 1.0, 16.0);
  const QSize small(std::max(1, int(std::lround(source.width() / factor))),
                    std::max(1, int(std::lround(source.height() / factor))));
  QImage img = source.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                   .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  // Three box passes of width 2r + 1 give a standard deviation of about radius / 2 at the source's scale.
  const int r = std::max(1, int(std::lround(radius / factor / 2.0)));
  for (int pass = 0; pass < 3; ++pass) boxRows(img, r);
  img = transposed(img);
  for (int pass = 0; pass < 3; ++pass) boxRows(img, r);
  img = transposed(img);
  QImage out = img.scaled(source.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  out.setDevicePixelRatio(source.devicePixelRatio());
  return out;
}

}  // namespace ox
