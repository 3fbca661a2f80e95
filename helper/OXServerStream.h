#pragma once
#include <httplib.h>

#include <array>
#include <atomic>

// One client connection as the server library reads and writes it, with a budget on what one request may make it
// read. The library bounds a header line and a declared body, but not the number of header lines, so a single
// endless request would otherwise grow in memory for as long as its client keeps sending.
class OXServerStream final : public httplib::Stream {
 public:
  OXServerStream(int socket, time_t readTimeoutSeconds, time_t writeTimeoutSeconds);

  // A new request begins: it may read `budget` bytes, after which the connection reads as failed.
  void setReadBudget(size_t budget) { budget_ = budget; }
  // Waits up to `seconds` for the next request to begin, looking at `listening` (the server's socket) now and then
  // so that a stopping server is not held up; false when the client left, stayed silent or the server stops.
  bool waitForRequest(time_t seconds, const std::atomic<int>& listening) const;

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  int socket() const override { return socket_; }

 private:
  bool waitFor(short events, int timeoutMs) const;

  const int socket_;
  const int readTimeoutMs_, writeTimeoutMs_;
  // The library reads a request line and headers a byte at a time.
  std::array<char, 4096> buffer_;
  size_t begin_ = 0, end_ = 0;
  size_t budget_ = 0;
};
