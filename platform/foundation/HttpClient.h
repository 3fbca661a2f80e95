#pragma once
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <atomic>
#include <memory>

namespace ox {

// Ends the transfers that carry it, from any thread: a running one fails within about a tenth of a second, a later
// one at once. Owners that go away (a view, a scan engine shutting down) cancel rather than wait on the network.
class HttpCancel {
 public:
  HttpCancel() = default;
  // Cancelled as well whenever `outer` is: a transfer's own token under the one of its owner.
  explicit HttpCancel(std::shared_ptr<const HttpCancel> outer) : m_outer(std::move(outer)) {}
  void cancel() { m_cancelled.store(true); }
  bool isCancelled() const { return m_cancelled.load() || (m_outer && m_outer->isCancelled()); }

 private:
  std::atomic_bool m_cancelled{false};
  const std::shared_ptr<const HttpCancel> m_outer;
};

// While alive, requests made on this thread that carry no token of their own carry this one, so a worker can make
// every call of the clients beneath it cancellable without handing a token through each of them.
class HttpCancelScope {
 public:
  explicit HttpCancelScope(std::shared_ptr<const HttpCancel> token);
  ~HttpCancelScope();
  HttpCancelScope(const HttpCancelScope&) = delete;
  HttpCancelScope& operator=(const HttpCancelScope&) = delete;
  // Whether this thread's scope carries a cancelled token, for work that must tell a cancelled answer from a real one.
  static bool isCancelled();

 private:
  std::shared_ptr<const HttpCancel> m_previous;
};

// The one HTTP stack of the system: libcurl, synchronous on the calling thread. Asynchronous work runs the same call
// on an operation queue. Redirects are followed (at most 10, http and https only), no cookies are kept, answers
// compressed with gzip, deflate, brotli or zstd are decoded, and loopback never goes through a proxy.
struct HttpRequest {
  // How a caller's memory cache may answer the request: only the reload policies (1 and 4) forbid it. The client
  // itself keeps no cache and sends every request.
  enum class CachePolicy {
    UseProtocolCachePolicy = 0,
    ReloadIgnoringLocalCacheData = 1,
    ReturnCacheDataElseLoad = 2,
    ReturnCacheDataDontLoad = 3,
    ReloadIgnoringLocalAndRemoteCacheData = 4,
    ReloadRevalidatingCacheData = 5,
  };

  QByteArray method = "GET";  // "GET", "POST", "PUT", "DELETE"; a GET that carries a form or body is sent as POST
  QUrl url;
  // Sent in this order as application/x-www-form-urlencoded UTF-8 (unless a Content-Type header is given).
  QList<QPair<QString, QString>> form;
  QByteArray body;  // raw body, used when form is empty
  QByteArray contentType;
  QList<QPair<QByteArray, QByteArray>> headers;
  enum class Auth { None, BasicPreemptive, BasicOnChallenge } auth = Auth::None;
  QString user, password;
  // Always set on the handle; zero or less means the default, so no transfer can hang for ever.
  int connectTimeoutMs = 10000;
  int totalTimeoutMs = 60000;
  // When set, a 2xx body streams to a temporary file in the same folder, which replaces the path only after the
  // complete answer arrived; otherwise the old file stays, the temporary file is removed, and any other answer's body
  // lands in HttpResponse::body as usual.
  QString downloadPath;
  CachePolicy cachePolicy = CachePolicy::UseProtocolCachePolicy;
  // The most bytes the answer may have once decoded, in memory or on disk: what an answer of its kind can be. Zero or
  // less means 16 MiB. The transfer ends as soon as the answer passes it and fails; a download leaves no file.
  qint64 maxBytes = 0;
  std::shared_ptr<const HttpCancel> cancel;

  bool operator==(const HttpRequest&) const = default;
};

struct HttpResponse {
  bool transportOk = false;  // a complete answer arrived (any status)
  int status = 0;
  QByteArray body;  // at most the request's maxBytes; a longer answer fails the transfer
  QList<QPair<QByteArray, QByteArray>> headers;  // of the final answer, in arrival order
  QString error;  // why the transfer failed; empty when transportOk
  bool cancelled = false;  // the request's cancel token ended it
  bool isSuccess() const { return transportOk && status >= 200 && status < 300; }
  // A 4xx that asking again cannot change: the request is malformed or names nothing (400, 404, 405, 406, 410, 411,
  // 413, 414, 415, 422). Time-outs, 408, 429, 5xx and the statuses that credentials or a proxy may change are not.
  bool isRefusal() const;
  QByteArray header(const QByteArray& name) const;  // case-insensitive, first match; empty when absent
};

// Thread-safe: each calling thread keeps its own handle (and with it its kept-alive connections).
HttpResponse httpPerform(const HttpRequest& request);
HttpResponse httpGet(const QUrl& url, int totalTimeoutMs = 60000);
// curl_global_init exactly once. Programs call it at start before any thread; httpPerform calls it lazily too.
void httpGlobalInit();

}  // namespace ox
