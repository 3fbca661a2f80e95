#pragma once
// A library of two movies with files of random bytes, served on a free loopback port, and raw-socket requests.
#include <QByteArray>
#include <QTemporaryDir>
#include <memory>

#include "core/OXLibrary.h"
#include "helper/OXServer.h"
#include "platform/foundation/HttpClient.h"

namespace servertest {

class ServedLibrary {
 public:
  static constexpr qsizetype kFileLength = 3 * 1024 * 1024 + 7;  // three chunks and a bit

  explicit ServedLibrary(bool publish = false);
  QString path(const QString& name) const { return dir_.filePath(name); }
  QUrl url(const QString& pathAndQuery) const;
  ox::HttpResponse get(const QString& pathAndQuery, const QByteArray& range = {}) const;

  QTemporaryDir dir_;
  std::shared_ptr<OXLibrary> library;
  QByteArray bytes;  // the file of "tt0000001"
  std::unique_ptr<OXServer> server;
};

// One request on a connection of its own: a kept-alive one would hold a server thread, and the server's end waits
// for each.
ox::HttpResponse perform(ox::HttpRequest request);

// Sends `bytes` on a fresh connection and answers what comes back until the server closes or goes quiet.
QByteArray rawExchange(int port, const QByteArray& bytes, int quietMs = 1500);

}  // namespace servertest
