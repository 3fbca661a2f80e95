// Pictures from outside: whole ones read as Qt reads them, and none larger than its bound.
#include <gtest/gtest.h>

#include "platform/foundation/ImageDecoder.h"
#include "tests/support/Pictures.h"

using ox::ImageDecoder;

TEST(ImageDecoder, WholePicturesReadAsQtReadsThemWhateverFollowsAJpegsEnd) {
  const QImage picture = oxtest::detailedPicture(QSize(120, 90));
  const QByteArray baseline = oxtest::jpegBytes(picture), progressive = oxtest::jpegBytes(picture, true);
  for (const QByteArray& bytes : {baseline, progressive, baseline + "trailing bytes after the end marker",
                                  oxtest::jpegBytes(picture.convertToFormat(QImage::Format_Grayscale8)),
                                  oxtest::cmykJpeg(QSize(40, 30)), oxtest::pngBytes(picture)}) {
    const QImage expected = QImage::fromData(bytes);
    ASSERT_FALSE(expected.isNull());
    const QImage image = ImageDecoder::decode(bytes);
    EXPECT_EQ(image.format(), expected.format());
    EXPECT_EQ(image, expected);
  }
  // The bound is of pixels in all; a picture at it is whole.
  EXPECT_FALSE(ImageDecoder::decode(baseline, 120 * 90).isNull());
}

// Cuts and endless scans are the download check's (tests/scanner); here the size a header claims.
TEST(ImageDecoder, PicturesClaimingMorePixelsThanTheBoundAreRefused) {
  const QImage picture = oxtest::detailedPicture(QSize(500, 750));
  EXPECT_TRUE(ImageDecoder::decode(oxtest::jpegBytes(picture), 500 * 750 - 1).isNull());
  EXPECT_TRUE(ImageDecoder::decode(oxtest::pngBytes(picture), 500 * 750 - 1).isNull());
  // A few kilobytes that Qt decodes whole.
  QImage huge(5600, 5600, QImage::Format_Mono);
  huge.fill(0);
  const QByteArray png = oxtest::pngBytes(huge);
  ASSERT_LT(png.size(), 8 << 10);
  EXPECT_TRUE(ImageDecoder::decode(png).isNull());
  EXPECT_TRUE(ImageDecoder::decode(QByteArray("<html>Sign in</html>")).isNull());
}
