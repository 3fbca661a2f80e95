#include "helper/OXServer.h"

#include <httplib.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "core/OXLibrary.h"
#include "helper/OXFileResponse.h"
#include "helper/OXServerStream.h"
#include "helper/OXServerThreads.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"

namespace {

const char* const kFileRoute = R"(/movies/([^/]+))";
// The path kFileRoute matches.
bool isFileRoute(const std::string& path) {
  static const std::string prefix = "/movies/";
  return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
         path.find('/', prefix.size()) == std::string::npos;
}
const char* const kTextType = "text/plain; charset=utf-8";
// A request line and headers beyond this, with the largest body, end the connection.
constexpr size_t kMaxHeaderLength = 64 * 1024;

// The library's server with connections of our own, which bound what one request may read.
class BoundedServer final : public httplib::Server {
  bool process_and_close_socket(socket_t socket) override {
    OXServerStream stream(socket, read_timeout_sec_, write_timeout_sec_);
    bool answered = false;
    for (size_t left = keep_alive_max_count_; left > 0 && stream.waitForRequest(keep_alive_timeout_sec_, svr_sock_);
         --left) {
      stream.setReadBudget(kMaxHeaderLength + OXServer::kMaxBodyLength);
      bool closed = false;
      answered = process_request(stream, left == 1, closed, nullptr);
      if (!answered || closed) break;
    }
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
    return answered;
  }
};

}  // namespace

struct OXServer::Impl {
  OXLibrary* library = nullptr;
  BoundedServer server;
  std::thread thread;
  int port = 0;
  std::unique_ptr<ox::NetService> service;
};

OXServer* OXServer::shareServer() {
  // Never destroyed: its threads may still answer while the process ends.
  static OXServer* const shared = new OXServer(OXLibrary::shareLibrary(), portFromEnvironment());
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

OXServer::OXServer(OXLibrary* library, int port, bool publish) : d(std::make_unique<Impl>()) {
  d->library = library;
  setupRoutes();
  d->server.set_default_headers({{"Server", kServerHeader}});
  d->server.set_payload_max_length(kMaxBodyLength);
  // A paused player stops reading; give it time before its connection is dropped.
  d->server.set_write_timeout(30);
  d->server.new_task_queue = [] { return new OXServerThreads(kMaxThreads); };
  if (!start(port) || !publish) return;
  d->service = std::make_unique<ox::NetService>(QString(), QString::fromLatin1(kServiceType), QString(), d->port);
  d->service->setDelegate(this);
  d->service->publish();
}

OXServer::~OXServer() {
  d->service.reset();
  if (d->thread.joinable()) {
    d->server.stop();
    d->thread.join();
  }
}

bool OXServer::start(int port) {
  int listener = -1;
  d->server.set_socket_options([&listener](int s) {
    // Not the library's SO_REUSEPORT: a second helper must find the port taken instead of sharing its clients.
    const int yes = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    listener = s;
  });
  errno = 0;
  const int bound = port == 0 ? d->server.bind_to_any_port("0.0.0.0")
                              : (d->server.bind_to_port("0.0.0.0", port) ? port : -1);
  const int error = errno;
  d->server.set_socket_options([](int) {});
  if (bound <= 0 || listener < 0) {
    OXLOG("Error starting HTTP server: port %d: %s", port, std::strerror(error ? error : EINVAL));
    return false;
  }
  // The library listens with a backlog of 5, which drops a burst of clients connecting at once.
  ::listen(listener, SOMAXCONN);
  d->port = bound;
  d->thread = std::thread([this] { d->server.listen_after_bind(); });
  // stop() does nothing to a server not yet running, so the destructor must not come before this.
  for (int i = 0; i < 5000 && !d->server.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  OXLOG("library server listening on port %d", bound);
  return true;
}

bool OXServer::isRunning() const { return d->thread.joinable() && d->server.is_running(); }
int OXServer::port() const { return d->port; }
ox::NetService* OXServer::service() const { return d->service.get(); }

void OXServer::setupRoutes() {
  using httplib::Request;
  using httplib::Response;
  auto& s = d->server;

  s.set_pre_routing_handler([](const Request& request, Response& response) {
    // The library bounds a body by its declared length only; a chunked one would be read into memory however
    // long it grew. No client of these routes needs one, and HTTP lets a server ask for a length instead.
    if (request.has_header("Transfer-Encoding")) {
      response.status = 411;
      response.set_header("Connection", "close");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!isFileRoute(request.path)) OXFileResponse::ignoreRanges(request);
    return httplib::Server::HandlerResponse::Unhandled;
  });

  s.Get("/movies", [this](const Request&, Response& response) {
    QVariantList movies;
    for (const auto& movie : d->library->movieList()) movies << ox::wrapCoding(movie);
    ox::KeyedArchiver archiver;
    archiver.encodeObject(movies, QStringLiteral("movieList"));
    const QByteArray data = archiver.finish();
    response.set_content(data.constData(), size_t(data.size()), "application/octet-stream");
  });

  s.Get(kFileRoute, [this](const Request& request, Response& response) {
    const QString imdb = QString::fromStdString(request.matches[1].str());
    for (const auto& movie : d->library->movieList()) {
      if (movie->imdb() != imdb) continue;
      const auto file = movie->file();
      if (file && !file->filePath().isEmpty()) return OXFileResponse::respond(file->filePath(), request, response);
      break;
    }
    OXFileResponse::ignoreRanges(request);
    response.status = 404;
  });

  s.Get("/hello", [](const Request&, Response& response) { response.set_content("Hello!", kTextType); });

  s.Get(R"(/hello/([^/]+))", [](const Request& request, Response& response) {
    response.set_content("Hello " + request.matches[1].str() + "!", kTextType);
  });

  s.Get(R"(/page/(\d+))", [](const Request& request, Response& response) {
    response.set_content("You requested page " + request.matches[1].str(), kTextType);
  });

  s.Post("/widgets", [](const Request& request, Response& response) {
    response.set_content(request.body, "application/octet-stream");
  });

  s.Get("/selector", [this](const Request& request, Response& response) { handleSelectorRequest(request, response); });
}

void OXServer::handleSelectorRequest(const httplib::Request&, httplib::Response& response) {
  response.set_content("Handled through selector", kTextType);
}

void OXServer::netServiceWillPublish(ox::NetService&) { OXLOG("netServiceWillPublish"); }
void OXServer::netServiceDidPublish(ox::NetService&) { OXLOG("netServiceDidPublish"); }
