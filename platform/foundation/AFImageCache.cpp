#include "platform/foundation/AFImageCache.h"

namespace ox {

namespace {

QString keyFor(const HttpRequest& request) { return request.url.toString(QUrl::FullyEncoded); }

bool forbidsCache(HttpRequest::CachePolicy policy) {
  return policy == HttpRequest::CachePolicy::ReloadIgnoringLocalCacheData ||
         policy == HttpRequest::CachePolicy::ReloadIgnoringLocalAndRemoteCacheData;
}

}  // namespace

AFImageCache::AFImageCache(qint64 totalCostLimit) : m_limit(std::max<qint64>(0, totalCostLimit)) {}

QByteArray AFImageCache::cachedImageForRequest(const HttpRequest& request) {
  if (forbidsCache(request.cachePolicy) || request.url.isEmpty()) return {};
  std::lock_guard lock(m_mutex);
  const auto it = m_index.constFind(keyFor(request));
  if (it == m_index.constEnd()) return {};
  m_entries.splice(m_entries.begin(), m_entries, it.value());
  return it.value()->data;
}

void AFImageCache::cacheImage(const QByteArray& data, const HttpRequest& request) {
  if (data.isEmpty() || request.url.isEmpty()) return;
  const QString key = keyFor(request);
  std::lock_guard lock(m_mutex);
  if (const auto it = m_index.constFind(key); it != m_index.constEnd()) {
    m_cost -= it.value()->data.size();
    m_entries.erase(it.value());
    m_index.remove(key);
  }
  if (data.size() > m_limit) return;
  evictToFit(m_limit - data.size());
  m_entries.push_front(Entry{key, data});
  m_index.insert(key, m_entries.begin());
  m_cost += data.size();
}

void AFImageCache::evictToFit(qint64 limit) {
  while (m_cost > limit && !m_entries.empty()) {
    m_cost -= m_entries.back().data.size();
    m_index.remove(m_entries.back().key);
    m_entries.pop_back();
  }
}

void AFImageCache::setTotalCostLimit(qint64 bytes) {
  std::lock_guard lock(m_mutex);
  m_limit = std::max<qint64>(0, bytes);
  evictToFit(m_limit);
}

qint64 AFImageCache::totalCostLimit() const {
  std::lock_guard lock(m_mutex);
  return m_limit;
}

qint64 AFImageCache::totalCost() const {
  std::lock_guard lock(m_mutex);
  return m_cost;
}

int AFImageCache::count() const {
  std::lock_guard lock(m_mutex);
  return int(m_index.size());
}

void AFImageCache::removeAllObjects() {
  std::lock_guard lock(m_mutex);
  m_entries.clear();
  m_index.clear();
  m_cost = 0;
}

}  // namespace ox
