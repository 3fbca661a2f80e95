#include "tests/support/LoopbackServer.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace oxtest {

struct LoopbackServer::Private {
  httplib::Server server;
  std::thread thread;
  int port = -1;
  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  std::map<QString, Handler> handlers;
  QList<Request> requests;
  bool neverAnswer = false, stopping = false;

  void serve(const httplib::Request& in, httplib::Response& out) {
    Request r;
    r.method = QByteArray::fromStdString(in.method);
    r.path = QByteArray::fromStdString(in.path);
    r.target = QByteArray::fromStdString(in.target);
    if (const qsizetype q = r.target.indexOf('?'); q >= 0) r.query = parseForm(r.target.mid(q + 1));
    for (const auto& [name, value] : in.headers)
      r.headers.append({QByteArray::fromStdString(name), QByteArray::fromStdString(value)});
    r.body = QByteArray::fromStdString(in.body);
    Handler handler;
    {
      std::unique_lock<std::mutex> hold(mutex);
      requests.append(r);
      changed.notify_all();
      changed.wait(hold, [this] { return !neverAnswer || stopping; });
      if (auto it = handlers.find(QString::fromUtf8(r.path)); it != handlers.end()) handler = it->second;
    }
    const Reply reply = handler ? handler(r) : Reply{404, "not found", "text/plain", {}};
    out.status = reply.status;
    // An idle kept-alive connection would hold a worker, and stop() waits for each one: close after every answer.
    out.set_header("Connection", "close");
    for (const auto& [name, value] : reply.headers) out.headers.emplace(name.toStdString(), value.toStdString());
    out.set_content(reply.body.toStdString(), reply.contentType.toStdString());
  }
};

LoopbackServer::LoopbackServer() : d(std::make_unique<Private>()) {
  d->server.new_task_queue = [] { return new httplib::ThreadPool(32); };
  const auto route = [this](const httplib::Request& in, httplib::Response& out) { d->serve(in, out); };
  const std::string all = "/.*";
  d->server.Get(all, route).Post(all, route).Put(all, route).Delete(all, route).Patch(all, route).Options(all, route);
  int listener = -1;
  d->server.set_socket_options([&listener](int s) {
    httplib::default_socket_options(s);
    listener = s;
  });
  d->port = d->server.bind_to_any_port("127.0.0.1");
  if (d->port > 0) {
    ::listen(listener, 128);  // the library's backlog of 5 drops a burst of connections from parallel clients
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
    for (int i = 0; i < 5000 && !d->server.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard<std::mutex> hold(d->mutex);
    d->stopping = true;
    d->changed.notify_all();
  }
  d->server.stop();
  if (d->thread.joinable()) d->thread.join();
}

bool LoopbackServer::isListening() const { return d->port > 0; }
int LoopbackServer::port() const { return d->port; }

QUrl LoopbackServer::url(const QString& pathAndQuery) const {
  return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(d->port).arg(pathAndQuery));
}

void LoopbackServer::setHandler(const QString& path, Handler handler) {
  std::lock_guard<std::mutex> hold(d->mutex);
  d->handlers[path] = std::move(handler);
}

void LoopbackServer::setReply(const QString& path, const Reply& reply) {
  setHandler(path, [reply](const Request&) { return reply; });
}

void LoopbackServer::setNeverAnswer(bool on) {
  std::lock_guard<std::mutex> hold(d->mutex);
  d->neverAnswer = on;
  d->changed.notify_all();
}

QList<LoopbackServer::Request> LoopbackServer::requests() const {
  std::lock_guard<std::mutex> hold(d->mutex);
  return d->requests;
}

int LoopbackServer::requestCount() const {
  std::lock_guard<std::mutex> hold(d->mutex);
  return int(d->requests.size());
}

void LoopbackServer::clearRequests() {
  std::lock_guard<std::mutex> hold(d->mutex);
  d->requests.clear();
}

bool LoopbackServer::waitForRequests(int count, int timeoutMs) const {
  std::unique_lock<std::mutex> hold(d->mutex);
  return d->changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] { return d->requests.size() >= count; });
}

QByteArray LoopbackServer::Request::header(const QByteArray& name) const {
  for (const auto& [key, value] : headers)
    if (key.compare(name, Qt::CaseInsensitive) == 0) return value;
  return {};
}

QList<QPair<QString, QString>> LoopbackServer::parseForm(const QByteArray& text) {
  QList<QPair<QString, QString>> pairs;
  const auto decode = [](QByteArray part) { return QString::fromUtf8(QByteArray::fromPercentEncoding(part.replace('+', ' '))); };
  for (const QByteArray& item : text.split('&')) {
    if (item.isEmpty()) continue;
    const qsizetype eq = item.indexOf('=');
    pairs.append({decode(item.left(eq < 0 ? item.size() : eq)), eq < 0 ? QString() : decode(item.mid(eq + 1))});
  }
  return pairs;
}

StalledListener::StalledListener() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 0) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return;
  port_ = ntohs(address.sin_port);
  // Connections nobody accepts fill the queue; once one stays unanswered, so will the next.
  for (int i = 0; i < 16 && !stalled_; ++i) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s < 0) break;
    fillers_.append(s);
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), length) == 0) continue;
    pollfd p{s, POLLOUT, 0};
    stalled_ = ::poll(&p, 1, 200) == 0;
  }
}

StalledListener::~StalledListener() {
  for (int s : fillers_) ::close(s);
  if (listener_ >= 0) ::close(listener_);
}

}  // namespace oxtest
