#pragma once
#include <QByteArray>
#include <QImage>
#include <QSize>

namespace oxtest {

// Pictures as services send them, made at test time.

// A picture with detail all over (a gradient under a fine pattern), so that any part of its file holds some of it.
QImage detailedPicture(QSize size);
// Qt's encodings: a baseline or progressive JPEG, and a PNG.
QByteArray jpegBytes(const QImage& image, bool progressive = false);
QByteArray pngBytes(const QImage& image);
// A CMYK JPEG as Adobe's programs write it (inverted), which Qt reads but does not write.
QByteArray cmykJpeg(QSize size);
// A progressive JPEG of one colour whose last scan, the luma's AC coefficients (a few bytes: one run of empty blocks
// after another), comes `repeats` times more before its end marker. Each repeat is a valid scan over the whole
// picture that libjpeg decodes without a warning.
QByteArray scanBomb(QSize size, int repeats);

}  // namespace oxtest
