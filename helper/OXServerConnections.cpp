#include "helper/OXServerConnections.h"

#include <microhttpd.h>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace {

using Clock = std::chrono::steady_clock;

// One open connection, watched for its request deadline.
struct Watched {
  int fd = -1;
  Clock::time_point since;
  bool reading = true;  // no answer queued yet: the deadline runs
  std::optional<in_addr_t> counted;  // the client address whose share it takes
};

// The IPv4 client address of `c` when it counts against a per-address share.
std::optional<in_addr_t> cappedAddressOf(MHD_Connection* c, bool capLoopback) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (!info || !info->client_addr || info->client_addr->sa_family != AF_INET) return std::nullopt;
  const in_addr_t address = reinterpret_cast<const sockaddr_in*>(info->client_addr)->sin_addr.s_addr;
  if (!capLoopback && (ntohl(address) >> 24) == IN_LOOPBACKNET) return std::nullopt;
  return address;
}

// Descriptors the process keeps for everything but the server's connections.
constexpr rlim_t kReservedFiles = 128;
// A connection's whole memory: the longest request head and room for the answer's headers.
constexpr size_t kConnectionMemory = OXServerConnections::kMaxHeaderLength + 16 * 1024;

}  // namespace

struct OXServerConnections::Impl {
  Handler handler;
  std::string serverHeader;
  size_t maxBodyLength = 0;
  Limits limits;
  MHD_Daemon* daemon = nullptr;

  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
  std::unordered_set<Watched*> watched;
  std::unordered_map<in_addr_t, unsigned> perAddress;
  std::thread sweeper;

  static void connectionEvent(void* cls, MHD_Connection* c, void** socketContext, MHD_ConnectionNotificationCode code);
  static void requestEnded(void* cls, MHD_Connection* c, void** state, MHD_RequestTerminationCode);
  static MHD_Result access(void* cls, MHD_Connection* c, const char* url, const char* method, const char* version,
                           const char* upload, size_t* uploadSize, void** state);

  int refusalOf(MHD_Connection* c, const char* version, OXServerRequest& request) const;
  MHD_Result answer(MHD_Connection* c, OXServerResponse& response, bool close);
  void setReading(MHD_Connection* c, bool reading);
  void sweep();
};

void OXServerConnections::Impl::connectionEvent(void* cls, MHD_Connection* c, void** socketContext,
                                                MHD_ConnectionNotificationCode code) {
  auto* self = static_cast<Impl*>(cls);
  if (code == MHD_CONNECTION_NOTIFY_STARTED) {
    auto* watched = new Watched;
    if (const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD))
      watched->fd = info->connect_fd;
    watched->since = Clock::now();
    watched->counted = cappedAddressOf(c, self->limits.capLoopback);
    std::lock_guard hold(self->mutex);
    self->watched.insert(watched);
    *socketContext = watched;
    if (watched->counted && ++self->perAddress[*watched->counted] > self->limits.perAddress && watched->fd >= 0) {
      // Beyond its address's share: the server library sees the end of the stream and closes it unanswered.
      ::shutdown(watched->fd, SHUT_RDWR);
      watched->reading = false;
    }
  } else if (auto* watched = static_cast<Watched*>(*socketContext)) {
    // Reported before the descriptor closes: once out of the set, the sweeper can no longer touch it.
    std::lock_guard hold(self->mutex);
    if (watched->counted) {
      const auto count = self->perAddress.find(*watched->counted);
      if (--count->second == 0) self->perAddress.erase(count);
    }
    self->watched.erase(watched);
    delete watched;
    *socketContext = nullptr;
  }
}

void OXServerConnections::Impl::requestEnded(void* cls, MHD_Connection* c, void** state, MHD_RequestTerminationCode) {
  delete static_cast<OXServerRequest*>(*state);
  *state = nullptr;
  static_cast<Impl*>(cls)->setReading(c, true);
}

void OXServerConnections::Impl::setReading(MHD_Connection* c, bool reading) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  auto* watched = info ? static_cast<Watched*>(info->socket_context) : nullptr;
  if (!watched) return;
  std::lock_guard hold(mutex);
  watched->reading = reading;
  watched->since = Clock::now();
}

MHD_Result OXServerConnections::Impl::access(void* cls, MHD_Connection* c, const char* url, const char* method,
                                             const char* version, const char* upload, size_t* uploadSize,
                                             void** state) {
  auto* self = static_cast<Impl*>(cls);
  auto* request = static_cast<OXServerRequest*>(*state);
  if (!request) {  // the head has arrived
    request = new OXServerRequest;
    *state = request;
    request->method = std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0 ? MHD_HTTP_METHOD_GET : method;
    request->path = url;
    if (const int status = self->refusalOf(c, version, *request)) {
      // Answered before its body is read, so the connection closes after it: what follows is never taken for
      // further requests.
      OXServerResponse refusal;
      refusal.status = status;
      return self->answer(c, refusal, true);
    }
    return MHD_YES;
  }
  if (*uploadSize > 0) {
    if (request->body.size() + *uploadSize > self->maxBodyLength) return MHD_NO;
    request->body.append(upload, *uploadSize);
    *uploadSize = 0;
    return MHD_YES;
  }
  OXServerResponse response;
  self->handler(*request, response);
  return self->answer(c, response, false);
}

int OXServerConnections::Impl::refusalOf(MHD_Connection* c, const char* version, OXServerRequest& request) const {
  const MHD_ConnectionInfo* head = MHD_get_connection_info(c, MHD_CONNECTION_INFO_REQUEST_HEADER_SIZE);
  if (head && head->header_size > kMaxHeaderLength) return MHD_HTTP_REQUEST_HEADER_FIELDS_TOO_LARGE;
  MHD_get_connection_values_n(
      c, MHD_HEADER_KIND,
      [](void* cls, MHD_ValueKind, const char* key, size_t keySize, const char* value, size_t valueSize) {
        static_cast<OXServerRequest*>(cls)->headers.emplace_back(std::string(key, keySize),
                                                                 std::string(value ? value : "", valueSize));
        return MHD_YES;
      },
      &request);
  return OXServerConnections::refusalOf(request, version, maxBodyLength);
}

int OXServerConnections::refusalOf(const OXServerRequest& request, std::string_view version, size_t maxBodyLength) {
  if (request.path.size() > kMaxLineLength) return MHD_HTTP_URI_TOO_LONG;
  for (const auto& [key, value] : request.headers)
    if (key.size() + value.size() + 2 > kMaxLineLength) return MHD_HTTP_REQUEST_HEADER_FIELDS_TOO_LARGE;
  // Two lengths are refused, as two readers could frame the request differently: the server library takes the
  // first, a proxy in front may take another, and the rest of the body would pass for a request of its own.
  // HTTP/1.1 asks every request for one Host.
  const std::string* length = nullptr;
  int hosts = 0;
  for (const auto& [key, value] : request.headers) {
    if (OXServerRequest::isNamed(key, MHD_HTTP_HEADER_HOST)) ++hosts;
    if (!OXServerRequest::isNamed(key, MHD_HTTP_HEADER_CONTENT_LENGTH)) continue;
    if (length && *length != value) return MHD_HTTP_BAD_REQUEST;
    length = &value;
  }
  if (hosts > 1 || (hosts == 0 && version != MHD_HTTP_VERSION_1_0)) return MHD_HTTP_BAD_REQUEST;
  if (request.header("Transfer-Encoding")) return MHD_HTTP_LENGTH_REQUIRED;
  if (length && std::strtoull(length->c_str(), nullptr, 10) > maxBodyLength) return MHD_HTTP_CONTENT_TOO_LARGE;
  return 0;
}

MHD_Result OXServerConnections::Impl::answer(MHD_Connection* c, OXServerResponse& response, bool close) {
  MHD_Response* r = nullptr;
  if (response.fd >= 0 && response.length > 0) {
    r = MHD_create_response_from_fd_at_offset64(response.length, response.fd, response.offset);
    if (r) response.fd = -1;  // the server library closes it with the answer
  } else {
    auto* body = new std::string(std::move(response.body));
    r = MHD_create_response_from_buffer_with_free_callback_cls(
        body->size(), body->data(), [](void* owned) { delete static_cast<std::string*>(owned); }, body);
    if (!r) delete body;
  }
  if (!r) return MHD_NO;
  for (const auto& [name, value] : response.headers) MHD_add_response_header(r, name.c_str(), value.c_str());
  MHD_add_response_header(r, MHD_HTTP_HEADER_SERVER, serverHeader.c_str());
  if (close) MHD_add_response_header(r, MHD_HTTP_HEADER_CONNECTION, "close");
  setReading(c, false);
  const MHD_Result queued = MHD_queue_response(c, unsigned(response.status), r);
  MHD_destroy_response(r);
  return queued;
}

void OXServerConnections::Impl::sweep() {
  const auto deadline = std::chrono::seconds(limits.requestSeconds);
  const auto period = std::chrono::milliseconds(std::clamp(limits.requestSeconds * 250u, 50u, 1000u));
  std::unique_lock hold(mutex);
  while (!wake.wait_for(hold, period, [this] { return stopping; })) {
    const auto now = Clock::now();
    for (Watched* watched : watched) {
      if (!watched->reading || watched->fd < 0 || now - watched->since < deadline) continue;
      // The server library sees the end of the stream and closes the connection on its own thread.
      ::shutdown(watched->fd, SHUT_RDWR);
      watched->reading = false;
    }
  }
}

OXServerConnections::OXServerConnections(Handler handler, std::string serverHeader, size_t maxBodyLength,
                                         const Limits& limits)
    : d(std::make_unique<Impl>()) {
  d->handler = std::move(handler);
  d->serverHeader = std::move(serverHeader);
  d->maxBodyLength = maxBodyLength;
  d->limits = limits;
}

OXServerConnections::~OXServerConnections() {
  {
    std::lock_guard hold(d->mutex);
    d->stopping = true;
  }
  d->wake.notify_all();
  if (d->sweeper.joinable()) d->sweeper.join();
  if (d->daemon) MHD_stop_daemon(d->daemon);
}

int OXServerConnections::start(int port) {
  unsigned total = d->limits.total;
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
    const rlim_t spare = files.rlim_cur > kReservedFiles ? files.rlim_cur - kReservedFiles : 0;
    total = unsigned(std::min<rlim_t>(total, std::max<rlim_t>(spare / 2, 8)));
  }
  // One a core, as nginx runs its workers: parallel downloads seldom share a thread.
  const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 2u, 8u);
  errno = 0;
  d->daemon = MHD_start_daemon(
      MHD_USE_EPOLL_INTERNAL_THREAD, uint16_t(port), nullptr, nullptr, &Impl::access, d.get(),
      MHD_OPTION_THREAD_POOL_SIZE, workers, MHD_OPTION_CONNECTION_LIMIT, total, MHD_OPTION_CONNECTION_TIMEOUT,
      d->limits.sendSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory, MHD_OPTION_NOTIFY_CONNECTION,
      &Impl::connectionEvent, d.get(), MHD_OPTION_NOTIFY_COMPLETED, &Impl::requestEnded, d.get(), MHD_OPTION_END);
  if (!d->daemon) return 0;
  const MHD_DaemonInfo* bound = MHD_get_daemon_info(d->daemon, MHD_DAEMON_INFO_BIND_PORT);
  if (d->limits.requestSeconds > 0) d->sweeper = std::thread([this] { d->sweep(); });
  return bound ? bound->port : port;
}
