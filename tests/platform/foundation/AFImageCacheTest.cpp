#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/foundation/AFImageCache.h"

using namespace ox;

namespace {

HttpRequest get(const QString& url) {
  HttpRequest r;
  r.url = QUrl(url);
  return r;
}

}  // namespace

TEST(AFImageCache, DropsTheLeastRecentlyUsedBytesToStayUnderItsLimit) {
  AFImageCache cache(300);
  cache.cacheImage(QByteArray(100, 'a'), get("http://h/a"));
  cache.cacheImage(QByteArray(100, 'b'), get("http://h/b"));
  cache.cacheImage(QByteArray(100, 'c'), get("http://h/c"));
  EXPECT_EQ(cache.totalCost(), 300);
  EXPECT_FALSE(cache.cachedImageForRequest(get("http://h/a")).isNull());  // a is now the most recent
  cache.cacheImage(QByteArray(150, 'd'), get("http://h/d"));
  EXPECT_TRUE(cache.cachedImageForRequest(get("http://h/b")).isNull());
  EXPECT_TRUE(cache.cachedImageForRequest(get("http://h/c")).isNull());
  EXPECT_EQ(cache.cachedImageForRequest(get("http://h/a")), QByteArray(100, 'a'));
  EXPECT_EQ(cache.totalCost(), 250);
  // Storing an address again replaces its bytes; a picture larger than the whole limit is not kept.
  cache.cacheImage(QByteArray(50, 'A'), get("http://h/a"));
  EXPECT_EQ(cache.cachedImageForRequest(get("http://h/a")), QByteArray(50, 'A'));
  cache.cacheImage(QByteArray(301, 'e'), get("http://h/e"));
  EXPECT_TRUE(cache.cachedImageForRequest(get("http://h/e")).isNull());
  EXPECT_EQ(cache.count(), 2);
  cache.setTotalCostLimit(60);
  EXPECT_EQ(cache.count(), 1);
  EXPECT_LE(cache.totalCost(), 60);
  // Empty data and requests without an address are not kept.
  cache.cacheImage(QByteArray(), get("http://h/f"));
  cache.cacheImage(QByteArray(5, 'g'), HttpRequest());
  EXPECT_EQ(cache.count(), 1);
}

TEST(AFImageCache, ReloadPoliciesNeverTakeCachedBytes) {
  AFImageCache cache;
  cache.cacheImage("bytes", get("http://h/p.png"));
  for (auto policy : {HttpRequest::CachePolicy::ReloadIgnoringLocalCacheData,
                      HttpRequest::CachePolicy::ReloadIgnoringLocalAndRemoteCacheData}) {
    HttpRequest r = get("http://h/p.png");
    r.cachePolicy = policy;
    EXPECT_TRUE(cache.cachedImageForRequest(r).isNull());
  }
  HttpRequest r = get("http://h/p.png");
  r.cachePolicy = HttpRequest::CachePolicy::ReturnCacheDataElseLoad;
  EXPECT_EQ(cache.cachedImageForRequest(r), "bytes");
}

TEST(AFImageCache, ConcurrentUseKeepsTheLimit) {
  AFImageCache cache(64 * 1024);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&cache, t] {
      for (int i = 0; i < 2000; ++i) {
        const HttpRequest r = get(QStringLiteral("http://h/%1/%2").arg(t).arg(i % 300));
        if (cache.cachedImageForRequest(r).isNull()) cache.cacheImage(QByteArray(1000 + i % 7, 'x'), r);
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_LE(cache.totalCost(), 64 * 1024);
  EXPECT_GT(cache.count(), 0);
}
