#include "platform/foundation/ImageDecoder.h"

#include <QBuffer>
#include <QImageReader>

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

#include "platform/foundation/MappedFile.h"

namespace ox {

namespace {

// libjpeg reports through the error manager; every way out of a refused picture is a longjmp back to readJpeg, which
// is why no object with a destructor lives between there and libjpeg.
struct Refusal {
  jpeg_error_mgr manager{};  // first, so that libjpeg's pointer to it is one to the whole
  std::jmp_buf jump{};
};

struct JpegRead {
  jpeg_decompress_struct info{};
  Refusal refusal;
  jpeg_progress_mgr progress{};
  QImage image;
  QByteArray cmykRow;
};

[[noreturn]] void refuse(j_common_ptr info) { std::longjmp(reinterpret_cast<Refusal*>(info->err)->jump, 1); }

// Level -1 is a warning: the data was cut short or is damaged, and libjpeg would go on with grey in its place.
void onMessage(j_common_ptr info, int level) {
  if (level < 0) refuse(info);
}

void silent(j_common_ptr) {}

void onProgress(j_common_ptr info) {
  if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > ImageDecoder::kMostScans) refuse(info);
}

bool readJpeg(JpegRead& r, const uchar* bytes, qsizetype size, qint64 mostPixels) {
  if (setjmp(r.refusal.jump)) return false;
  jpeg_mem_src(&r.info, bytes, static_cast<unsigned long>(size));
  jpeg_read_header(&r.info, TRUE);
  if (qint64(r.info.image_width) * r.info.image_height > mostPixels) return false;
  const bool cmyk = r.info.jpeg_color_space == JCS_CMYK || r.info.jpeg_color_space == JCS_YCCK;
  const bool gray = r.info.jpeg_color_space == JCS_GRAYSCALE;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
  constexpr J_COLOR_SPACE kRgb32 = JCS_EXT_BGRX;
#else
  constexpr J_COLOR_SPACE kRgb32 = JCS_EXT_XRGB;
#endif
  r.info.out_color_space = cmyk ? JCS_CMYK : gray ? JCS_GRAYSCALE : kRgb32;
  jpeg_start_decompress(&r.info);
  r.image = QImage(int(r.info.output_width), int(r.info.output_height),
                   gray ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
  if (r.image.isNull()) return false;
  if (cmyk) r.cmykRow.resize(qsizetype(r.info.output_width) * 4);
  while (r.info.output_scanline < r.info.output_height) {
    const int y = int(r.info.output_scanline);
    JSAMPROW row = cmyk ? reinterpret_cast<JSAMPROW>(r.cmykRow.data()) : r.image.scanLine(y);
    if (jpeg_read_scanlines(&r.info, &row, 1) != 1) return false;
    if (!cmyk) continue;
    // As Qt reads them: the inverted CMYK that Adobe's programs write, the common kind.
    const uchar* in = row;
    auto* out = reinterpret_cast<QRgb*>(r.image.scanLine(y));
    for (JDIMENSION x = 0; x < r.info.output_width; ++x, in += 4) {
      const int k = in[3];
      out[x] = qRgb(k * in[0] / 255, k * in[1] / 255, k * in[2] / 255);
    }
  }
  jpeg_finish_decompress(&r.info);
  return true;
}

QImage decodeJpeg(QByteArrayView bytes, qint64 mostPixels) {
  JpegRead r;
  r.info.err = jpeg_std_error(&r.refusal.manager);
  r.refusal.manager.error_exit = refuse;
  r.refusal.manager.emit_message = onMessage;
  r.refusal.manager.output_message = silent;
  r.progress.progress_monitor = onProgress;
  jpeg_create_decompress(&r.info);
  r.info.progress = &r.progress;
  const bool whole = readJpeg(r, reinterpret_cast<const uchar*>(bytes.data()), bytes.size(), mostPixels);
  jpeg_destroy_decompress(&r.info);
  return whole ? std::move(r.image) : QImage();
}

QImage decodeWithQt(QByteArrayView bytes, qint64 mostPixels) {
  QBuffer buffer;
  buffer.setData(QByteArray::fromRawData(bytes.data(), bytes.size()));
  if (!buffer.open(QIODevice::ReadOnly)) return {};
  QImageReader reader(&buffer);
  reader.setDecideFormatFromContent(true);
  const auto fits = [mostPixels](QSize size) {
    return size.isValid() && qint64(size.width()) * size.height() <= mostPixels;
  };
  if (!fits(reader.size())) return {};
  QImage image = reader.read();
  return fits(image.size()) ? image : QImage();
}

}  // namespace

QImage ImageDecoder::decode(QByteArrayView bytes, qint64 mostPixels) {
  if (bytes.startsWith("\xFF\xD8")) return decodeJpeg(bytes, mostPixels);
  return decodeWithQt(bytes, mostPixels);
}

QImage ImageDecoder::decodeFile(const QString& path, qint64 mostPixels) {
  const MappedFile file(path);
  return file.status() == MappedFile::Status::Mapped ? decode(file.bytes(), mostPixels) : QImage();
}

}  // namespace ox
