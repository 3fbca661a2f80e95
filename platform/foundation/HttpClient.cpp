#include "platform/foundation/HttpClient.h"

#include "platform/foundation/Log.h"

#include <QSaveFile>
#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace ox {

namespace {

// For callers that do not say what their answer can be.
constexpr qint64 kMaxBodyBytes = qint64(16) << 20;

thread_local std::shared_ptr<const HttpCancel> t_scopeCancel;

// State of one transfer, shared with curl's callbacks.
struct Transfer {
  HttpResponse response;
  std::unique_ptr<QSaveFile> file;  // only for downloads
  int status = 0;                   // of the answer being received
  QString failure;                  // set when a callback aborts the transfer
  qint64 maxBytes = kMaxBodyBytes;
  qint64 written = 0;  // decoded bytes of the final answer
  const HttpCancel* cancel = nullptr;
};

// Every answer (a 100 Continue, a redirect, a 401 before the credentials) starts with its status line;
// only the final one's headers and body are kept.
size_t onHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const QByteArray line = QByteArray(data, qsizetype(size * count)).trimmed();
  if (line.startsWith("HTTP/")) {
    t->status = line.split(' ').value(1).toInt();
    t->response.headers.clear();
    t->response.body.clear();
    t->written = 0;
    if (t->file && (!t->file->seek(0) || !t->file->resize(0))) return 0;
  } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
    t->response.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
  }
  return size * count;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const qint64 n = qint64(size * count);
  if (t->written + n > t->maxBytes) {
    t->failure = QStringLiteral("answer larger than %1 bytes").arg(t->maxBytes);
    return 0;
  }
  t->written += n;
  if (t->file && t->status / 100 == 2) {
    if (t->file->write(data, n) == n) return size_t(n);
    t->failure = QStringLiteral("cannot write %1").arg(t->file->fileName());
    return 0;
  }
  t->response.body.append(data, qsizetype(n));
  return size_t(n);
}

// Called by curl about ten times a second even while nothing arrives, so a stalled transfer ends soon too.
int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* t = static_cast<Transfer*>(user);
  return t->cancel && t->cancel->isCancelled() ? 1 : 0;
}

QByteArray formEncoded(const QList<QPair<QString, QString>>& form) {
  QByteArray out;
  for (const auto& [key, value] : form) {
    if (!out.isEmpty()) out += '&';
    out += QUrl::toPercentEncoding(key) + '=' + QUrl::toPercentEncoding(value);
  }
  return out;
}

bool headerSafe(const QByteArray& text) {
  return !text.contains('\r') && !text.contains('\n') && !text.contains('\0');
}

// Loopback is never sent through a proxy named in the environment; the rest of no_proxy is kept.
QByteArray noProxyList() {
  QByteArray list = qgetenv("no_proxy");
  if (list.isEmpty()) list = qgetenv("NO_PROXY");
  if (list.trimmed() == "*") return list;
  return list + (list.isEmpty() ? "" : ",") + "localhost,127.0.0.1,::1";
}

struct ThreadHandle {
  CURL* curl = curl_easy_init();
  CURLM* multi = nullptr;  // for transfers that carry a token; made on first use
  ~ThreadHandle() {
    if (multi) curl_multi_cleanup(multi);
    if (curl) curl_easy_cleanup(curl);
  }
};

// curl_easy_perform looks at a quiet transfer once a second only, so a token would end a stalled one up to a second
// late; a transfer that carries one is run here, looked at every tenth of a second.
CURLcode performCancellable(ThreadHandle& handle, const HttpCancel& cancel) {
  if (!handle.multi) handle.multi = curl_multi_init();
  if (!handle.multi || curl_multi_add_handle(handle.multi, handle.curl) != CURLM_OK)
    return curl_easy_perform(handle.curl);
  CURLcode code = CURLE_FAILED_INIT;
  for (int running = 1;;) {
    if (curl_multi_perform(handle.multi, &running) != CURLM_OK) break;
    int left = 0;
    if (CURLMsg* done = curl_multi_info_read(handle.multi, &left); done && done->msg == CURLMSG_DONE) {
      code = done->data.result;
      break;
    }
    if (!running) break;
    if (cancel.isCancelled()) {
      code = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    curl_multi_poll(handle.multi, nullptr, 0, 100, nullptr);
  }
  curl_multi_remove_handle(handle.multi, handle.curl);
  return code;
}

HttpResponse failed(const QString& error) {
  HttpResponse r;
  r.error = error;
  return r;
}

}  // namespace

HttpCancelScope::HttpCancelScope(std::shared_ptr<const HttpCancel> token) : m_previous(std::move(t_scopeCancel)) {
  t_scopeCancel = std::move(token);
}

HttpCancelScope::~HttpCancelScope() { t_scopeCancel = std::move(m_previous); }

bool HttpCancelScope::isCancelled() { return t_scopeCancel && t_scopeCancel->isCancelled(); }

QByteArray HttpResponse::header(const QByteArray& name) const {
  for (const auto& [key, value] : headers)
    if (key.compare(name, Qt::CaseInsensitive) == 0) return value;
  return {};
}

bool HttpResponse::isRefusal() const {
  static constexpr int kFinal[] = {400, 404, 405, 406, 410, 411, 413, 414, 415, 422};
  return transportOk && std::find(std::begin(kFinal), std::end(kFinal), status) != std::end(kFinal);
}

void httpGlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpResponse httpPerform(const HttpRequest& request) {
  httpGlobalInit();
  const std::shared_ptr<const HttpCancel> cancel = request.cancel ? request.cancel : t_scopeCancel;
  if (cancel && cancel->isCancelled()) {
    HttpResponse r = failed(QStringLiteral("cancelled"));
    r.cancelled = true;
    return r;
  }
  thread_local ThreadHandle local;
  CURL* curl = local.curl;
  if (!curl) return failed(QStringLiteral("no HTTP handle"));
  curl_easy_reset(curl);

  const QString where = request.url.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery);
  const QByteArray url = request.url.toEncoded();
  const bool hasForm = !request.form.isEmpty();
  const QByteArray payload = hasForm ? formEncoded(request.form) : request.body;
  const bool hasBody = hasForm || !request.body.isEmpty();
  QByteArray method = request.method.toUpper();
  if (method.isEmpty() || (method == "GET" && hasBody)) method = hasBody ? "POST" : "GET";

  curl_slist* headers = nullptr;
  bool ownContentType = false;
  for (const auto& [name, value] : request.headers) {
    if (name.isEmpty() || !headerSafe(name) || name.contains(':') || !headerSafe(value)) {
      curl_slist_free_all(headers);
      return failed(QStringLiteral("invalid header %1").arg(QString::fromUtf8(name)));
    }
    ownContentType |= name.compare("Content-Type", Qt::CaseInsensitive) == 0;
    headers = curl_slist_append(headers, (value.isEmpty() ? name + ';' : name + ": " + value).constData());
  }
  if (!ownContentType && (hasBody || method == "POST" || method == "PUT")) {
    QByteArray type = hasForm ? QByteArray("application/x-www-form-urlencoded; charset=utf-8") : request.contentType;
    if (!headerSafe(type)) type.clear();
    // An empty "Content-Type:" keeps curl from labelling a raw body as a form.
    headers = curl_slist_append(headers, ("Content-Type: " + type).trimmed().constData());
  }
  headers = curl_slist_append(headers, "Expect:");  // no 1 s wait for a 100 Continue that may never come
  const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headerList(headers, curl_slist_free_all);

  Transfer t;
  t.cancel = cancel.get();
  if (request.maxBytes > 0) t.maxBytes = request.maxBytes;
  if (!request.downloadPath.isEmpty()) {
    t.file = std::make_unique<QSaveFile>(request.downloadPath);
    if (!t.file->open(QIODevice::WriteOnly))
      return failed(QStringLiteral("cannot write %1: %2").arg(request.downloadPath, t.file->errorString()));
  }

  char errorText[CURL_ERROR_SIZE] = {};
  const QByteArray user = request.user.toUtf8(), password = request.password.toUtf8();
  const QByteArray noProxy = noProxyList();
  curl_easy_setopt(curl, CURLOPT_URL, url.constData());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(curl, CURLOPT_NOPROXY, noProxy.constData());
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(request.connectTimeoutMs > 0 ? request.connectTimeoutMs : 10000));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(request.totalTimeoutMs > 0 ? request.totalTimeoutMs : 60000));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
  // Refuses early an answer that announces its size; onBody counts what arrives once decoded.
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(t.maxBytes));
  if (cancel) {
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  }
  if (method == "GET") {
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  } else if (method == "HEAD") {
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  } else {
    if (hasBody || method == "POST" || method == "PUT") {
      curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(payload.size()));
      curl_easy_setopt(curl, CURLOPT_POSTFIELDS, payload.constData());
    }
    if (method != "POST") curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.constData());
  }
  if (request.auth != HttpRequest::Auth::None) {
    // Basic alone is sent at once; Basic with CURLAUTH_ONLY waits for the server's challenge.
    const unsigned long scheme = request.auth == HttpRequest::Auth::BasicPreemptive ? CURLAUTH_BASIC
                                                                                    : CURLAUTH_BASIC | CURLAUTH_ONLY;
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, scheme);
    curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
  }

  const CURLcode code = cancel ? performCancellable(local, *cancel) : curl_easy_perform(curl);
  HttpResponse& r = t.response;
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  r.status = int(status);
  r.transportOk = code == CURLE_OK;
  if (!r.transportOk) {
    r.cancelled = code == CURLE_ABORTED_BY_CALLBACK;
    r.error = r.cancelled                ? QStringLiteral("cancelled")
              : !t.failure.isEmpty() ? t.failure
              : errorText[0]       ? QString::fromUtf8(errorText)
                                   : QString::fromUtf8(curl_easy_strerror(code));
  } else if (t.file && r.isSuccess() && !t.file->commit()) {
    r.transportOk = false;
    r.error = QStringLiteral("cannot replace %1: %2").arg(request.downloadPath, t.file->errorString());
  }
  if (!r.transportOk && !r.cancelled) OXLOG("HTTP %s %s failed: %s", method.constData(), qUtf8Printable(where), qUtf8Printable(r.error));
  return std::move(t.response);
}

HttpResponse httpGet(const QUrl& url, int totalTimeoutMs) {
  HttpRequest request;
  request.url = url;
  request.totalTimeoutMs = totalTimeoutMs;
  return httpPerform(request);
}

}  // namespace ox
