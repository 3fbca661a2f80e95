#pragma once
#include <QString>
#include <memory>

namespace ox {

class NetService;

// What a published service tells its owner. Calls arrive on the service's own thread.
class NetServiceDelegate {
 public:
  virtual ~NetServiceDelegate() = default;
  virtual void netServiceWillPublish(NetService& service) { (void)service; }
  virtual void netServiceDidPublish(NetService& service) { (void)service; }
  virtual void netServiceDidNotPublish(NetService& service, const QString& error) {
    (void)service;
    (void)error;
  }
};

// A service announced by DNS-SD on the local network through the Avahi daemon, on a thread of its own. The
// daemon is reached over the system bus (DBUS_SYSTEM_BUS_ADDRESS when set). Without a daemon, or when the daemon
// refuses, the publication fails with one log line and a delegate call; the owner goes on as before. A name taken
// by another host is replaced by the daemon's alternative ("name #2"), as a user expects of a second computer.
class NetService {
 public:
  // An empty domain means the default domains, an empty name the computer's host name. The type may end in a
  // dot ("_ombrixhelper._tcp.").
  NetService(const QString& domain, const QString& type, const QString& name, int port);
  ~NetService();  // withdraws the announcement
  NetService(const NetService&) = delete;
  NetService& operator=(const NetService&) = delete;

  // Held weakly; set it before publish().
  void setDelegate(NetServiceDelegate* delegate);
  // Starts the announcement and answers at once; the outcome reaches the delegate. A second call does nothing.
  void publish();
  void stop();

  QString type() const;
  int port() const;
  // The name in use once published (after any rename); empty before.
  QString name() const;
  bool isPublished() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace ox
