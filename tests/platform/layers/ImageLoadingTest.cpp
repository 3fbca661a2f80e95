#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>

#include <future>

#include "platform/layers/CALayer_AFNetworking.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Pictures.h"
#include "tests/support/TestUtil.h"

using namespace ox;
using oxtest::LoopbackServer;

namespace {

QByteArray solidPng(const QColor& c) {
  QImage img(8, 8, QImage::Format_RGB32);
  img.fill(c);
  return oxtest::pngBytes(img);
}

LoopbackServer::Reply pngReply(const QByteArray& body) { return {200, body, "image/png", {}}; }

QColor shown(const LayerPtr& layer) {
  return layer->contents().isNull() ? QColor() : layer->contents().pixelColor(0, 0);
}

bool idle(const LayerPtr& layer) { return !af_imageRequestOperation(layer); }

// Resident memory of the process, in bytes.
qint64 residentBytes() {
  QFile f("/proc/self/statm");
  if (!f.open(QIODevice::ReadOnly)) return 0;
  return f.readAll().split(' ').value(1).toLongLong() * 4096;
}

class ImageLoadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    af_sharedLayerImageCache().removeAllObjects();
    server.setReply("/red.png", pngReply(solidPng(Qt::red)));
    server.setReply("/blue.png", pngReply(solidPng(Qt::blue)));
    server.setReply("/text", {200, "not a picture", "text/plain", {}});
  }
  void TearDown() override {
    af_sharedLayerImageRequestOperationQueue().waitUntilAllOperationsAreFinished();
    oxtest::spinFor(20);  // the last reports reach the main queue
    af_sharedLayerImageCache().setTotalCostLimit(AFImageCache::kDefaultTotalCostLimit);
    af_sharedLayerImageCache().removeAllObjects();
  }
  int requestsFor(const QByteArray& path) const {
    int n = 0;
    for (const auto& r : server.requests()) n += r.path == path;
    return n;
  }
  LoopbackServer server;
};

}  // namespace

TEST_F(ImageLoadingTest, SecondLoadOfAnAddressIsAnsweredFromTheCacheWithoutARequest) {
  LayerPtr a = Layer::layer(), b = Layer::layer();
  setImageWithURL(a, server.url("/red.png"));
  EXPECT_TRUE(af_imageRequestOperation(a));
  ASSERT_TRUE(oxtest::spinUntil([&] { return idle(a); }));
  EXPECT_EQ(shown(a), QColor(Qt::red));
  ASSERT_EQ(server.requestCount(), 1);
  const auto request = server.requests()[0];
  EXPECT_EQ(request.header("Accept"), "image/*");
  EXPECT_TRUE(request.header("Cookie").isEmpty());

  setImageWithURL(b, server.url("/red.png"));  // shows at once
  EXPECT_EQ(shown(b), QColor(Qt::red));
  EXPECT_TRUE(idle(b));
  bool hit = false;
  setImageWithURLRequest(b, AFImageLoader::imageRequest(server.url("/red.png")), QImage(),
                         [&](const HttpRequest* req, const HttpResponse* resp, const QByteArray& data) {
                           hit = !req && !resp && data == solidPng(Qt::red);
                         },
                         nullptr);
  EXPECT_TRUE(hit);
  EXPECT_EQ(server.requestCount(), 1);

  // A reload policy goes to the network again.
  HttpRequest reload = AFImageLoader::imageRequest(server.url("/red.png"));
  reload.cachePolicy = HttpRequest::CachePolicy::ReloadIgnoringLocalCacheData;
  setImageWithURLRequest(b, reload, QImage(), nullptr, nullptr);
  ASSERT_TRUE(oxtest::spinUntil([&] { return idle(b); }));
  EXPECT_EQ(server.requestCount(), 2);
}

TEST_F(ImageLoadingTest, StaleAnswerNeverOverwritesTheNewerRequest) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  server.setHandler("/slow.png", [released](const LoopbackServer::Request&) {
    released.wait();
    return pngReply(solidPng(Qt::green));
  });
  LayerPtr layer = Layer::layer();
  bool staleReported = false;
  setImageWithURLRequest(layer, AFImageLoader::imageRequest(server.url("/slow.png")), QImage(),
                         [&](const HttpRequest*, const HttpResponse*, const QByteArray&) { staleReported = true; },
                         [&](const HttpRequest&, const HttpResponse&, const QString&) { staleReported = true; });
  ASSERT_TRUE(server.waitForRequests(1));
  setImageWithURL(layer, server.url("/blue.png"));
  ASSERT_TRUE(oxtest::spinUntil([&] { return shown(layer) == QColor(Qt::blue); }));
  release.set_value();
  // The late picture still goes into the cache, but not onto the layer.
  const HttpRequest slow = AFImageLoader::imageRequest(server.url("/slow.png"));
  ASSERT_TRUE(oxtest::spinUntil([&] { return !af_sharedLayerImageCache().cachedImageForRequest(slow).isNull(); }));
  af_sharedLayerImageRequestOperationQueue().waitUntilAllOperationsAreFinished();
  oxtest::spinFor(50);
  EXPECT_EQ(shown(layer), QColor(Qt::blue));
  EXPECT_FALSE(staleReported);
}

TEST_F(ImageLoadingTest, FailedOrUnusableAnswerKeepsTheContentsAndCachesNothing) {
  LayerPtr layer = Layer::layer();
  setImageWithURL(layer, server.url("/red.png"));
  ASSERT_TRUE(oxtest::spinUntil([&] { return idle(layer); }, 20000));
  QString error;
  int status = 0;
  setImageWithURLRequest(layer, AFImageLoader::imageRequest(server.url("/missing.png")), QImage(), nullptr,
                         [&](const HttpRequest& req, const HttpResponse& resp, const QString& e) {
                           error = e;
                           status = resp.status;
                           EXPECT_EQ(req.url, server.url("/missing.png"));
                         });
  EXPECT_EQ(shown(layer), QColor(Qt::red));  // a miss does not clear what the layer shows
  ASSERT_TRUE(oxtest::spinUntil([&] { return idle(layer); }));
  EXPECT_EQ(status, 404);
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(shown(layer), QColor(Qt::red));
  setImageWithURL(layer, server.url("/text"));
  ASSERT_TRUE(oxtest::spinUntil([&] { return idle(layer); }));
  EXPECT_EQ(shown(layer), QColor(Qt::red));
  EXPECT_EQ(af_sharedLayerImageCache().count(), 1);

  // Nothing was kept, so the same address is asked for again.
  setImageWithURL(layer, server.url("/missing.png"));
  ASSERT_TRUE(oxtest::spinUntil([&] { return idle(layer); }));
  EXPECT_EQ(requestsFor("/missing.png"), 2);

  // A placeholder shows while the download runs, and the answer replaces it.
  setImageWithURL(layer, server.url("/blue.png"), QImage::fromData(solidPng(Qt::yellow)));
  EXPECT_EQ(shown(layer), QColor(Qt::yellow));
  ASSERT_TRUE(oxtest::spinUntil([&] { return shown(layer) == QColor(Qt::blue); }));
}

// Four kilobytes of PNG that become 125 MB once drawn, a JPEG cut short, and a picture over what its kind can be (with
// a success block too): each fails, shows nothing and is not kept.
TEST_F(ImageLoadingTest, PicturesNotWholeOrOverTheirKindsBoundFailAndAreNotCached) {
  QImage huge(5600, 5600, QImage::Format_Mono);
  huge.fill(0);
  server.setReply("/huge.png", pngReply(oxtest::pngBytes(huge)));
  const QByteArray jpeg = oxtest::jpegBytes(oxtest::detailedPicture(QSize(64, 64)));
  server.setReply("/cut.jpg", {200, jpeg.left(jpeg.size() / 2), "image/jpeg", {}});
  LayerPtr layer = Layer::layer();
  setImageWithURL(layer, server.url("/red.png"));
  ASSERT_TRUE(oxtest::spinUntil([&] { return idle(layer); }));
  int failures = 0;
  bool succeeded = false;
  const auto failed = [&](const HttpRequest&, const HttpResponse&, const QString&) { ++failures; };
  for (const char* path : {"/huge.png", "/cut.jpg"}) {
    setImageWithURLRequest(layer, AFImageLoader::imageRequest(server.url(path)), QImage(), nullptr, failed);
    ASSERT_TRUE(oxtest::spinUntil([&] { return idle(layer); }));
  }
  setImageWithURLRequest(
      layer, AFImageLoader::imageRequest(server.url("/blue.png")), QImage(),
      [&](const HttpRequest*, const HttpResponse*, const QByteArray&) { succeeded = true; }, failed, 8 * 8 - 1);
  ASSERT_TRUE(oxtest::spinUntil([&] { return idle(layer); }));
  EXPECT_EQ(failures, 3);
  EXPECT_FALSE(succeeded);
  EXPECT_EQ(shown(layer), QColor(Qt::red));
  EXPECT_EQ(af_sharedLayerImageCache().count(), 1);
}

TEST_F(ImageLoadingTest, CancelledAndOrphanedLoadsShowNothing) {
  LayerPtr layer = Layer::layer(), owned = Layer::layer();
  server.setNeverAnswer(true);
  setImageWithURL(layer, server.url("/red.png"));
  HttpRequest withToken = AFImageLoader::imageRequest(server.url("/green.png"));
  withToken.cancel = std::make_shared<HttpCancel>();  // its owner's, never cancelled here
  setImageWithURLRequest(owned, withToken, QImage(), nullptr, nullptr);
  ASSERT_TRUE(server.waitForRequests(2));
  cancelImageRequestOperation(layer);
  cancelImageRequestOperation(owned);
  EXPECT_TRUE(idle(layer));
  // Both downloads end, though the server never answers: no connection is left open for nobody.
  EXPECT_TRUE(oxtest::spinUntil([] { return af_sharedLayerImageRequestOperationQueue().operationCount() == 0; }, 5000));
  LayerPtr orphan = Layer::layer();
  setImageWithURL(orphan, server.url("/blue.png"));
  std::weak_ptr<Layer> watch = orphan;
  orphan.reset();
  EXPECT_TRUE(watch.expired());  // a pending load does not keep its layer
  server.setNeverAnswer(false);
  af_sharedLayerImageRequestOperationQueue().waitUntilAllOperationsAreFinished();
  oxtest::spinFor(50);
  EXPECT_TRUE(layer->contents().isNull());
  // The orphan's answer arrived and was kept; the cancelled ones never came.
  EXPECT_EQ(af_sharedLayerImageCache().count(), 1);
  const HttpRequest blue = AFImageLoader::imageRequest(server.url("/blue.png"));
  EXPECT_FALSE(af_sharedLayerImageCache().cachedImageForRequest(blue).isNull());
}

TEST_F(ImageLoadingTest, MemoryStaysUnderTheCapWhileLoadingTwoThousandPictures) {
  constexpr qint64 kCap = qint64(4) << 20;
  constexpr int kPictures = 2000, kLayers = 16;
  af_sharedLayerImageCache().setTotalCostLimit(kCap);
  // Noise does not compress: each picture is about 30 KB, 60 MB in all.
  server.setHandler("/noise.png", [](const LoopbackServer::Request& r) {
    QImage img(100, 100, QImage::Format_RGB32);
    QRandomGenerator rng(r.query.value(0).second.toUInt());
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, rng.generate() | 0xFF000000u);
    return pngReply(oxtest::pngBytes(img));
  });
  auto url = [&](int n) { return server.url(QStringLiteral("/noise.png?n=%1").arg(n)); };
  std::vector<LayerPtr> layers;
  for (int i = 0; i < kLayers; ++i) layers.push_back(Layer::layer());
  const qint64 before = residentBytes();
  qint64 highest = 0;
  for (int n = 0; n < kPictures; n += kLayers) {
    for (int i = 0; i < kLayers; ++i) setImageWithURL(layers[std::size_t(i)], url(n + i));
    ASSERT_TRUE(oxtest::spinUntil([&] {
      highest = std::max(highest, af_sharedLayerImageCache().totalCost());
      return std::all_of(layers.begin(), layers.end(), idle);
    }, 20000));
  }
  EXPECT_EQ(server.requestCount(), kPictures);
  EXPECT_LE(highest, kCap);
  EXPECT_GT(highest, kCap * 3 / 4);
  EXPECT_LT(af_sharedLayerImageCache().count(), kPictures / 10);
  // The most recent pictures stay, the oldest went first.
  EXPECT_FALSE(af_sharedLayerImageCache().cachedImageForRequest(AFImageLoader::imageRequest(url(kPictures - 1))).isNull());
  EXPECT_TRUE(af_sharedLayerImageCache().cachedImageForRequest(AFImageLoader::imageRequest(url(0))).isNull());
  for (const auto& l : layers) EXPECT_EQ(l->contents().size(), QSize(100, 100));
  // What the process holds grows by far less than the 60 MB that went through it (sanitizers keep freed memory).
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  EXPECT_LT(residentBytes() - before, qint64(48) << 20);
#else
  (void)before;
#endif
}
