#pragma once
#include <QString>
#include <memory>

#include "helper/OXServerConnections.h"
#include "platform/system/NetService.h"

class OXLibrary;

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
  using Limits = OXServerConnections::Limits;

  // The process's server over the shared library, created and started on the first call.
  static OXServer* shareServer();
  // The port the environment names, else kPort.
  static int portFromEnvironment();

  // Starts listening on every IPv4 address at `port` (0: any free port); publishes when it started and `publish`
  // holds. Reads `library`, which must outlive the server.
  OXServer(OXLibrary* library, int port, bool publish = true, const Limits& limits = Limits());
  ~OXServer() override;  // withdraws the publication, closes the connections and joins the threads
  OXServer(const OXServer&) = delete;
  OXServer& operator=(const OXServer&) = delete;

  bool isRunning() const;
  // The port listened on; 0 when the server did not start.
  int port() const;
  // The publication; none when the server did not start or publishes nothing.
  ox::NetService* service() const;

  void handleSelectorRequest(const OXServerRequest& request, OXServerResponse& response);

  void netServiceWillPublish(ox::NetService& service) override;
  void netServiceDidPublish(ox::NetService& service) override;

 private:
  void setupRoutes();
  bool start(int port, const Limits& limits);
  void dispatch(OXServerRequest& request, OXServerResponse& response) const;

  struct Impl;
  std::unique_ptr<Impl> d;
};
