#include "helper/OXServer.h"

#include <QRegularExpression>

#include <sys/resource.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

#include "core/OXLibrary.h"
#include "helper/OXFileResponse.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"

namespace {

const char* const kTextType = "text/plain; charset=utf-8";

struct Route {
  std::string method;
  QRegularExpression pattern;  // the whole path must match; bytes are read as Latin-1, so each stays one character
  std::function<void(const OXServerRequest&, OXServerResponse&)> handler;
};

// Up to the hard limit: a slow or stalled client holds a descriptor (two with a file), and the usual soft limit
// of 1024 would leave room for few of them.
void raiseOpenFileLimit() {
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur >= files.rlim_max) return;
  files.rlim_cur = files.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &files);
}

}  // namespace

struct OXServer::Impl {
  OXLibrary* library = nullptr;
  std::vector<Route> routes;
  std::unique_ptr<OXServerConnections> connections;
  int port = 0;
  std::unique_ptr<ox::NetService> service;
};

OXServer* OXServer::shareServer() {
  // Never destroyed: its threads may still answer while the process ends.
  static OXServer* const shared = [] {
    raiseOpenFileLimit();
    return new OXServer(OXLibrary::shareLibrary(), portFromEnvironment());
  }();
  return shared;
}

int OXServer::portFromEnvironment() {
  const QString text = qEnvironmentVariable(kPortVariable).trimmed();
  if (text.isEmpty()) return kPort;
  bool ok = false;
  const int port = text.toInt(&ok);
  if (ok && port >= 0 && port <= 65535) return port;
  OXLOG("%s=\"%s\" is no port; the library server takes %d", kPortVariable, qPrintable(text), kPort);
  return kPort;
}

OXServer::OXServer(OXLibrary* library, int port, bool publish, const Limits& limits) : d(std::make_unique<Impl>()) {
  d->library = library;
  setupRoutes();
  if (!start(port, limits) || !publish) return;
  d->service = std::make_unique<ox::NetService>(QString(), QString::fromLatin1(kServiceType), QString(), d->port);
  d->service->setDelegate(this);
  d->service->publish();
}

OXServer::~OXServer() {
  d->service.reset();
  d->connections.reset();
}

bool OXServer::start(int port, const Limits& limits) {
  auto connections = std::make_unique<OXServerConnections>(
      [this](OXServerRequest& request, OXServerResponse& response) { dispatch(request, response); },
      kServerHeader, kMaxBodyLength, limits);
  const int bound = connections->start(port);
  if (bound <= 0) {
    OXLOG("Error starting HTTP server: port %d: %s", port, std::strerror(errno ? errno : EINVAL));
    return false;
  }
  d->connections = std::move(connections);
  d->port = bound;
  OXLOG("library server listening on port %d", bound);
  return true;
}

bool OXServer::isRunning() const { return d->connections != nullptr; }
int OXServer::port() const { return d->port; }
ox::NetService* OXServer::service() const { return d->service.get(); }

void OXServer::dispatch(OXServerRequest& request, OXServerResponse& response) const {
  const QString path = QString::fromLatin1(request.path);
  for (const Route& route : d->routes) {
    if (route.method != request.method) continue;
    const QRegularExpressionMatch match = route.pattern.match(path);
    if (!match.hasMatch()) continue;
    for (int i = 1; i <= match.lastCapturedIndex(); ++i)
      request.captures.push_back(match.captured(i).toLatin1().toStdString());
    route.handler(request, response);
    return;
  }
  response.status = 404;
}

void OXServer::setupRoutes() {
  const auto add = [this](const char* method, const char* pattern, auto handler) {
    const QString whole = QRegularExpression::anchoredPattern(QString::fromLatin1(pattern));
    d->routes.push_back({method, QRegularExpression(whole), handler});
  };

  add("GET", "/movies", [this](const OXServerRequest&, OXServerResponse& response) {
    QVariantList movies;
    for (const auto& movie : d->library->movieList()) movies << ox::wrapCoding(movie);
    ox::KeyedArchiver archiver;
    archiver.encodeObject(movies, QStringLiteral("movieList"));
    const QByteArray data = archiver.finish();
    response.setContent(data.toStdString(), "application/octet-stream");
  });

  add("GET", "/movies/([^/]+)", [this](const OXServerRequest& request, OXServerResponse& response) {
    const QString imdb = QString::fromStdString(request.captures[0]);
    for (const auto& movie : d->library->movieList()) {
      if (movie->imdb() != imdb) continue;
      const auto file = movie->file();
      if (file && !file->filePath().isEmpty()) return OXFileResponse::respond(file->filePath(), request, response);
      break;
    }
    response.status = 404;
  });

  add("GET", "/hello", [](const OXServerRequest&, OXServerResponse& response) {
    response.setContent("Hello!", kTextType);
  });

  add("GET", "/hello/([^/]+)", [](const OXServerRequest& request, OXServerResponse& response) {
    response.setContent("Hello " + request.captures[0] + "!", kTextType);
  });

  add("GET", "/page/([0-9]+)", [](const OXServerRequest& request, OXServerResponse& response) {
    response.setContent("You requested page " + request.captures[0], kTextType);
  });

  add("POST", "/widgets", [](const OXServerRequest& request, OXServerResponse& response) {
    response.setContent(request.body, "application/octet-stream");
  });

  add("GET", "/selector", [this](const OXServerRequest& request, OXServerResponse& response) {
    handleSelectorRequest(request, response);
  });
}

void OXServer::handleSelectorRequest(const OXServerRequest&, OXServerResponse& response) {
  response.setContent("Handled through selector", kTextType);
}

void OXServer::netServiceWillPublish(ox::NetService&) { OXLOG("netServiceWillPublish"); }
void OXServer::netServiceDidPublish(ox::NetService&) { OXLOG("netServiceDidPublish"); }
