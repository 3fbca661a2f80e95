#include <gtest/gtest.h>

#include <QBuffer>
#include <QLabel>

#include "platform/layers/CALayer_AFNetworking.h"
#include "platform/ui/NSImageView_AFNetworking.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestUtil.h"

using namespace ox;
using oxtest::LoopbackServer;

namespace {

QByteArray solidPng(const QColor& c) {
  QImage img(6, 4, QImage::Format_RGB32);
  img.fill(c);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  img.save(&buffer, "PNG");
  return bytes;
}

QColor shown(const QLabel& view) {
  const QPixmap p = view.pixmap();
  return p.isNull() ? QColor() : p.toImage().pixelColor(0, 0);
}

}  // namespace

TEST(ImageViewLoading, ViewsLoadThroughTheirOwnCacheAndKeepTheirPictureOnFailure) {
  LoopbackServer server;
  server.setReply("/poster.png", {200, solidPng(Qt::red), "image/png", {}});
  af_sharedImageViewImageCache().removeAllObjects();
  auto view = std::make_unique<QLabel>();
  setImageWithURL(view.get(), server.url("/poster.png"));
  ASSERT_TRUE(oxtest::spinUntil([&] { return !af_imageRequestOperation(view.get()); }));
  EXPECT_EQ(shown(*view), QColor(Qt::red));
  EXPECT_EQ(server.requests().value(0).header("Accept"), "image/*");

  // A second view shows it at once; a layer asks again, since the layers keep a cache of their own.
  QLabel other;
  setImageWithURL(&other, server.url("/poster.png"));
  EXPECT_EQ(shown(other), QColor(Qt::red));
  EXPECT_EQ(server.requestCount(), 1);
  LayerPtr layer = Layer::layer();
  setImageWithURL(layer, server.url("/poster.png"));
  ASSERT_TRUE(oxtest::spinUntil([&] { return !af_imageRequestOperation(layer); }));
  EXPECT_EQ(server.requestCount(), 2);

  setImageWithURL(&other, server.url("/gone.png"));
  ASSERT_TRUE(oxtest::spinUntil([&] { return !af_imageRequestOperation(&other); }));
  EXPECT_EQ(shown(other), QColor(Qt::red));

  // A view that goes while its picture is on the way is left alone.
  server.setNeverAnswer(true);
  setImageWithURL(view.get(), server.url("/late.png"), QImage());
  ASSERT_TRUE(server.waitForRequests(4));
  view.reset();
  server.setNeverAnswer(false);
  af_sharedImageViewImageRequestOperationQueue().waitUntilAllOperationsAreFinished();
  oxtest::spinFor(50);
}
