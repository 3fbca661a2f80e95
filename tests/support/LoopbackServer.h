#pragma once
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

namespace oxtest {

// An HTTP server on 127.0.0.1 at a port the system picks, for tests. It records every request, answers through
// handlers set per exact path (404 elsewhere), and can hold requests unanswered for timeout tests.
// Handlers run on the server's own threads.
class LoopbackServer {
 public:
  struct Request {
    QByteArray method, path, target;  // target is the raw request target, query included
    QList<QPair<QString, QString>> query;  // decoded, in order
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    QByteArray header(const QByteArray& name) const;  // case-insensitive, first match
    QList<QPair<QString, QString>> form() const { return parseForm(body); }
  };
  struct Reply {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "text/plain";
    QList<QPair<QByteArray, QByteArray>> headers;
  };
  using Handler = std::function<Reply(const Request&)>;

  LoopbackServer();
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool isListening() const;
  int port() const;
  QUrl url(const QString& pathAndQuery = QStringLiteral("/")) const;

  void setHandler(const QString& path, Handler handler);  // any method
  void setReply(const QString& path, const Reply& reply);
  // While on, every request is recorded and then held without an answer until this is turned off or the server stops.
  void setNeverAnswer(bool on);

  QList<Request> requests() const;
  int requestCount() const;
  void clearRequests();
  bool waitForRequests(int count, int timeoutMs = 5000) const;

  // application/x-www-form-urlencoded (also a query): '+' is a space, %XX are UTF-8 bytes.
  static QList<QPair<QString, QString>> parseForm(const QByteArray& text);

 private:
  struct Private;
  std::unique_ptr<Private> d;
};

// A listening socket on 127.0.0.1 whose accept queue is kept full, so that a further connection attempt gets no
// answer at all: the case for connect timeouts.
class StalledListener {
 public:
  StalledListener();
  ~StalledListener();
  StalledListener(const StalledListener&) = delete;
  StalledListener& operator=(const StalledListener&) = delete;
  int port() const { return port_; }
  bool isStalled() const { return stalled_; }

 private:
  int listener_ = -1, port_ = 0;
  bool stalled_ = false;
  QList<int> fillers_;
};

}  // namespace oxtest
