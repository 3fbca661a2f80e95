#pragma once
#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace ox {

// Pictures from bytes that came from outside: a download, or a file a download left. A picture counts only when it is
// whole and its decoding is bounded. A few kilobytes may claim gigapixels, so the size a header claims is checked
// before anything is decoded. A JPEG cut short still decodes with Qt, only with a warning and the rest grey, so JPEGs
// go through libjpeg itself: any warning is a failure, and so is a scan past kMostScans, since a small file can
// repeat one cheap scan thousands of times over a large picture. Thread-safe.
class ImageDecoder {
 public:
  // Far above any screen: a poster or a backdrop.
  static constexpr qint64 kMostPixels = qint64(4096) * 4096;
  // A progressive JPEG as encoders write it has about ten.
  static constexpr int kMostScans = 48;

  // The picture the bytes hold, as what they are whatever a name says: RGB32 or Grayscale8 for a JPEG (a CMYK one
  // made RGB as Qt makes it), what Qt reads for the other kinds. A null image when they hold none, claim more than
  // `mostPixels` (or no size at all), or are a JPEG libjpeg warns about or that has too many scans. Bytes after a
  // JPEG's end marker are never read.
  static QImage decode(QByteArrayView bytes, qint64 mostPixels = kMostPixels);
  // The same for a file's bytes; a null image when it cannot be read.
  static QImage decodeFile(const QString& path, qint64 mostPixels = kMostPixels);
};

}  // namespace ox
