#pragma once
#include <QString>
#include <memory>

#include "platform/system/NetService.h"

class OXLibrary;
namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

// Ombrix Helper's library on the local network: an HTTP server on its own threads that answers the identified
// movies as a keyed archive ("/movies") and a movie's file by its IMDb code ("/movies/<imdb>"), with a few fixed
// sample routes, published by Bonjour once it listens. A port already taken leaves the helper without server and
// without publication, after one log line.
//
// The file route maps a code to a record of the library and sends that record's file: no part of a request is
// ever taken as a path.
class OXServer final : public ox::NetServiceDelegate {
 public:
  static constexpr int kPort = 5050;
  static constexpr const char* kServerHeader = "OmbrixHelper/1.0";
  static constexpr const char* kServiceType = "_ombrixhelper._tcp.";
  // Names another port (0: any free one), for tests and for a second helper on one machine.
  static constexpr const char* kPortVariable = "OMBRIX_HELPER_PORT";
  // Request bodies beyond this are refused (413); only the echo route reads one.
  static constexpr size_t kMaxBodyLength = 1 << 20;
  static constexpr size_t kMaxThreads = 256;

  // The process's server over the shared library, created and started on the first call.
  static OXServer* shareServer();
  // The port the environment names, else kPort.
  static int portFromEnvironment();

  // Starts listening on every IPv4 address at `port` (0: any free port); publishes when it started and `publish`
  // holds. Reads `library`, which must outlive the server.
  OXServer(OXLibrary* library, int port, bool publish = true);
  ~OXServer() override;  // withdraws the publication, closes the connections and joins the threads
  OXServer(const OXServer&) = delete;
  OXServer& operator=(const OXServer&) = delete;

  bool isRunning() const;
  // The port listened on; 0 when the server did not start.
  int port() const;
  // The publication; none when the server did not start or publishes nothing.
  ox::NetService* service() const;

  void handleSelectorRequest(const httplib::Request& request, httplib::Response& response);

  void netServiceWillPublish(ox::NetService& service) override;
  void netServiceDidPublish(ox::NetService& service) override;

 private:
  void setupRoutes();
  bool start(int port);

  struct Impl;
  std::unique_ptr<Impl> d;
};
