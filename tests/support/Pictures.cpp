#include "tests/support/Pictures.h"

#include <QBuffer>
#include <QImageWriter>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace oxtest {

QImage detailedPicture(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x)
      image.setPixel(x, y, qRgb(x * 255 / size.width(), y * 255 / size.height(), ((x / 3) ^ (y / 2)) % 2 ? 230 : 40));
  return image;
}

QByteArray jpegBytes(const QImage& image, bool progressive) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "jpeg");
  writer.setQuality(90);
  writer.setProgressiveScanWrite(progressive);
  writer.write(image);
  return bytes;
}

QByteArray pngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

namespace {

// Through libjpeg, for what Qt does not write: CMYK, a scan script of our own. Every row is `row`.
QByteArray compressed(QSize size, J_COLOR_SPACE space, const QByteArray& row, const jpeg_scan_info* scans, int count) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long length = 0;
  jpeg_mem_dest(&info, &out, &length);
  info.image_width = JDIMENSION(size.width());
  info.image_height = JDIMENSION(size.height());
  info.input_components = space == JCS_CMYK ? 4 : 3;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  info.write_Adobe_marker = space == JCS_CMYK;
  info.scan_info = scans;
  info.num_scans = count;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW rows[] = {reinterpret_cast<JSAMPROW>(const_cast<char*>(row.constData()))};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  const QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(length));
  std::free(out);
  return bytes;
}

}  // namespace

QByteArray cmykJpeg(QSize size) {
  QByteArray row;
  for (int x = 0; x < size.width(); ++x)
    row.append(char(x * 255 / size.width())).append(char(200)).append(char(40)).append(char(180));
  return compressed(size, JCS_CMYK, row, nullptr, 0);
}

QByteArray scanBomb(QSize size, int repeats) {
  // Every coefficient in one pass (no successive approximation), so a scan sent again asks for nothing new and libjpeg
  // takes it as it takes the first.
  static const jpeg_scan_info scans[] = {
      {3, {0, 1, 2, 0}, 0, 0, 0, 0}, {1, {1, 0, 0, 0}, 1, 63, 0, 0}, {1, {2, 0, 0, 0}, 1, 63, 0, 0},
      {1, {0, 0, 0, 0}, 1, 63, 0, 0}};
  const QByteArray whole = compressed(size, JCS_RGB, QByteArray(size.width() * 3, char(90)), scans, 4);
  const qsizetype lastScan = whole.lastIndexOf("\xFF\xDA"), end = whole.lastIndexOf("\xFF\xD9");
  return whole.left(end) + whole.mid(lastScan, end - lastScan).repeated(repeats) + whole.mid(end);
}

}  // namespace oxtest
