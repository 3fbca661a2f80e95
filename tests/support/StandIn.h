#pragma once
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <memory>

class QProcess;

namespace oxtest {

// The local stand-ins of the online services (tests/standin/standin.py) as a child process. start() waits until it
// listens and points the process's service variables (OMBRIX_*_URL) at it, so clients under test reach only it.
class StandIn {
 public:
  StandIn();
  ~StandIn();
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;

  // extraArgs go to the program (e.g. "--catalogue", path). Answers false when it did not come up in time.
  bool start(const QStringList& extraArgs = {}, int timeoutMs = 20000);
  void stop();
  bool isRunning() const;

  // Base URL of a service: "search", "queue", "tvdb", "api", "opensubtitles", "bucket", "scrape".
  QString baseUrl(const QString& service) const;
  // Every service variable with its value, as the stand-in announced them.
  QVariantMap environment() const;

  // Requests seen so far (oldest first), of one service or of all; each a map with "service", "method", "path"
  // (the raw request target), "route", "query" (list of [key, value]), "headers" (lower-case names), "body",
  // "form", and per service "message"/"queue" (queues) or "rpc" {"method", "params"} (OpenSubtitles).
  QVariantList requests(const QString& service = {}) const;
  // Waits until `service` has seen at least `count` requests; answers them (fewer on time-out).
  QVariantList waitForRequests(const QString& service, int count, int timeoutMs = 5000) const;

  // A fault for the next `count` requests (-1: until clear()) of `service` ("*": any) whose raw path contains
  // `pathPart`: "stall" (no answer for `seconds`, then the connection closes), "delay" (the usual answer, after
  // `seconds` or once clear() releases it), "500", "garbage", "close", or "answer" with `status` and `body`.
  bool fault(const QString& service, const QString& kind, int count = -1, const QString& pathPart = {},
             double seconds = 3600);
  bool answer(const QString& service, int status, const QByteArray& body, int count = -1,
              const QString& pathPart = {}, const QString& contentType = QStringLiteral("application/json"));
  // Drops faults, recorded requests and the files added with "addFile", and releases stalled requests.
  bool clear();
  // Any command of the program's command set; the answer object (empty on failure).
  QVariantMap command(const QVariantMap& cmd) const;

  // One stand-in per test process, started on first use and stopped when the application object goes away.
  static StandIn& shared();

 private:
  std::unique_ptr<QProcess> process_;
  QVariantMap ready_;
};

}  // namespace oxtest
