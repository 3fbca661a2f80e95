// Fuzz target for downloaded pictures: any bytes decode to a picture within the bound, or to none. The bound is small
// so that each input decodes quickly.
#include <QByteArrayView>

#include "platform/foundation/ImageDecoder.h"
#include "tests/fuzz/FuzzEntry.h"

OX_FUZZ_ENTRY(picture) {
  constexpr qint64 kMostPixels = qint64(512) * 512;
  const QImage image = ox::ImageDecoder::decode(QByteArrayView(data, qsizetype(size)), kMostPixels);
  if (!image.isNull() && qint64(image.width()) * image.height() > kMostPixels) __builtin_trap();
  return 0;
}
