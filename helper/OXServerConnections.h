#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "helper/OXServerRequest.h"
#include "helper/OXServerResponse.h"

// The library server's connections, event-driven: a few threads each wait on many sockets, so a client that
// trickles its request, says nothing or stops reading its movie costs a socket and a bounded buffer, never a
// thread the next client needs. Files go out with sendfile as the client takes them. A request reaches the
// handler only once it has arrived whole, on one of those threads.
class OXServerConnections {
 public:
  struct Limits {
    // Connections one client address may hold at once; more are closed as they come. Every local program comes
    // from the loopback address, so it is bounded by `total` alone unless `capLoopback` holds (tests let loopback
    // addresses stand in for peers).
    unsigned perAddress = 256;
    bool capLoopback = false;
    // Connections in all, further bounded by the open-file limit (a file answer takes two descriptors).
    unsigned total = 2048;
    // A request (line, headers, body) must arrive whole within this many seconds of the connection opening or of
    // the previous answer's end; a kept-alive connection left silent that long ends too.
    unsigned requestSeconds = 10;
    // A client that takes nothing of its answer (or sends nothing of its body) for this long is dropped.
    unsigned sendSeconds = 30;
  };
  // A request line and headers, in all and a line at a time; more is refused (431, or 414 for the target).
  static constexpr size_t kMaxHeaderLength = 64 * 1024;
  static constexpr size_t kMaxLineLength = 8 * 1024;
  // May fill the request in as it routes it.
  using Handler = std::function<void(OXServerRequest&, OXServerResponse&)>;

  // Every answer carries "Server" = `serverHeader`; bodies beyond `maxBodyLength` are refused (413), and so are
  // chunked ones (411), which only a declared length would bound. Two different lengths, two Hosts, or none in
  // HTTP/1.1, are a 400. A refused request's connection closes after the answer.
  OXServerConnections(Handler handler, std::string serverHeader, size_t maxBodyLength, const Limits& limits);
  ~OXServerConnections();  // closes every connection and joins the threads
  OXServerConnections(const OXServerConnections&) = delete;
  OXServerConnections& operator=(const OXServerConnections&) = delete;

  // Listens on every IPv4 address at `port` (0: any free one); answers the port, or 0 with errno telling why.
  int start(int port);

  // The status a request is refused with once its head is read (its headers gathered, its path decoded), before
  // its body; 0 when it goes to the handler.
  static int refusalOf(const OXServerRequest& request, std::string_view version, size_t maxBodyLength);

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};
