#include "helper/OXServerStream.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

void addressOf(const sockaddr_storage& address, socklen_t length, std::string& ip, int& port) {
  char host[NI_MAXHOST] = {}, service[NI_MAXSERV] = {};
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, service, sizeof service,
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0)
    return;
  ip = host;
  port = std::atoi(service);
}

}  // namespace

OXServerStream::OXServerStream(int socket, time_t readTimeoutSeconds, time_t writeTimeoutSeconds)
    : socket_(socket), readTimeoutMs_(int(readTimeoutSeconds * 1000)), writeTimeoutMs_(int(writeTimeoutSeconds * 1000)) {}

bool OXServerStream::waitFor(short events, int timeoutMs) const {
  pollfd p{socket_, events, 0};
  int n;
  do n = ::poll(&p, 1, timeoutMs);
  while (n < 0 && errno == EINTR);
  return n > 0 && (p.revents & events) && !(p.revents & (POLLERR | POLLNVAL));
}

bool OXServerStream::waitForRequest(time_t seconds, const std::atomic<int>& listening) const {
  if (begin_ < end_) return true;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (listening.load() != INVALID_SOCKET && std::chrono::steady_clock::now() < until) {
    if (!waitFor(POLLIN, 100)) continue;
    char byte;
    return ::recv(socket_, &byte, 1, MSG_PEEK) > 0;  // nothing to peek: the client closed
  }
  return false;
}

bool OXServerStream::is_readable() const { return begin_ < end_ || waitFor(POLLIN, readTimeoutMs_); }

bool OXServerStream::is_writable() const { return waitFor(POLLOUT, writeTimeoutMs_); }

ssize_t OXServerStream::read(char* ptr, size_t size) {
  if (budget_ == 0) return -1;
  size = std::min(size, budget_);
  if (begin_ == end_) {
    if (!waitFor(POLLIN, readTimeoutMs_)) return -1;
    ssize_t n;
    do n = ::recv(socket_, buffer_.data(), buffer_.size(), 0);
    while (n < 0 && errno == EINTR);
    if (n <= 0) return n;
    begin_ = 0;
    end_ = size_t(n);
  }
  const size_t n = std::min(size, end_ - begin_);
  std::memcpy(ptr, buffer_.data() + begin_, n);
  begin_ += n;
  budget_ -= n;
  return ssize_t(n);
}

ssize_t OXServerStream::write(const char* ptr, size_t size) {
  if (!is_writable()) return -1;
  ssize_t n;
  do n = ::send(socket_, ptr, size, MSG_NOSIGNAL);
  while (n < 0 && errno == EINTR);
  return n;
}

void OXServerStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) addressOf(address, length, ip, port);
}

void OXServerStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) addressOf(address, length, ip, port);
}
