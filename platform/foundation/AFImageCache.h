#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>

#include <list>
#include <mutex>

#include "platform/foundation/HttpClient.h"

namespace ox {

// Downloaded picture bytes by the absolute text of their request's URL, so that a picture asked for again shows
// without a request. Bounded in bytes: storing past the limit drops the least recently used entries first, and an
// entry larger than the whole limit is not kept. Thread-safe.
class AFImageCache {
 public:
  static constexpr qint64 kDefaultTotalCostLimit = qint64(64) << 20;

  explicit AFImageCache(qint64 totalCostLimit = kDefaultTotalCostLimit);
  AFImageCache(const AFImageCache&) = delete;
  AFImageCache& operator=(const AFImageCache&) = delete;

  // Null when the request's policy is a reload (1 or 4), or nothing is stored for its URL. A hit becomes the most
  // recently used entry.
  QByteArray cachedImageForRequest(const HttpRequest& request);
  // Does nothing for empty data or a request without URL.
  void cacheImage(const QByteArray& data, const HttpRequest& request);

  // Lowering the limit drops entries at once until the rest fits.
  void setTotalCostLimit(qint64 bytes);
  qint64 totalCostLimit() const;
  qint64 totalCost() const;
  int count() const;
  void removeAllObjects();

 private:
  struct Entry {
    QString key;
    QByteArray data;
  };
  void evictToFit(qint64 limit);

  mutable std::mutex m_mutex;
  std::list<Entry> m_entries;  // most recently used first
  QHash<QString, std::list<Entry>::iterator> m_index;
  qint64 m_cost = 0;
  qint64 m_limit;
};

}  // namespace ox
