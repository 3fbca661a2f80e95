#pragma once
// A library of two movies with files of random bytes, served on a free loopback port, and raw-socket requests.
#include <QByteArray>
#include <memory>

#include "core/OXLibrary.h"
#include "helper/OXServer.h"
#include "platform/foundation/HttpClient.h"
#include "tests/support/TemporaryDir.h"

namespace servertest {

class ServedLibrary {
 public:
  static constexpr qsizetype kFileLength = 3 * 1024 * 1024 + 7;  // three chunks and a bit

  explicit ServedLibrary(bool publish = false, const OXServer::Limits& limits = OXServer::Limits());
  QString path(const QString& name) const { return dir_.filePath(name); }
  QUrl url(const QString& pathAndQuery) const;
  ox::HttpResponse get(const QString& pathAndQuery, const QByteArray& range = {}) const;

  oxtest::TemporaryDir dir_;
  std::shared_ptr<OXLibrary> library;
  QByteArray bytes;  // the file of "tt0000001"
  std::unique_ptr<OXServer> server;
};

// One request on a connection of its own: a kept-alive one would stay open behind it and count among the
// connections the server holds.
ox::HttpResponse perform(ox::HttpRequest request);

// A blocking connection from the loopback address `from` (any of 127/8), its receive buffer cut to
// `receiveBuffer` bytes when that is not 0; -1 when it failed.
int connectTo(int port, const char* from = "127.0.0.1", int receiveBuffer = 0);

// Sends `bytes` on a fresh connection and answers what comes back until the server closes or goes quiet.
QByteArray rawExchange(int port, const QByteArray& bytes, int quietMs = 1500, const char* from = "127.0.0.1");

// Reads and drops what the server sends on `s` for up to `ms`: true once the server ended the connection. What
// came is added to `got` when given.
bool endsWithin(int s, int ms, QByteArray* got = nullptr);

// The process's resident memory.
qint64 residentBytes();

}  // namespace servertest
