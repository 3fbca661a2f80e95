#include "tests/helper/ServerFixture.h"

#include <QFile>
#include <QRandomGenerator>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "tests/core/LibraryTestUtil.h"

namespace servertest {

ServedLibrary::ServedLibrary(bool publish, const OXServer::Limits& limits) {
  library = OXLibrary::libraryWithSupportFolder(dir_.path());
  bytes.resize(kFileLength);
  QRandomGenerator(24).fillRange(reinterpret_cast<quint32*>(bytes.data()), kFileLength / 4);
  libtest::writeFile(path("first.mkv"), bytes);
  libtest::writeFile(path("second.mp4"), "second movie");
  library->addContent(libtest::movie("tt0000001", path("first.mkv"), "Quiet Orchard"));
  library->addContent(libtest::movie("tt0000002", path("second.mp4"), "Salt Roads"));
  server = std::make_unique<OXServer>(library.get(), 0, publish, limits);
}

QUrl ServedLibrary::url(const QString& pathAndQuery) const {
  return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server->port()).arg(pathAndQuery));
}

ox::HttpResponse ServedLibrary::get(const QString& pathAndQuery, const QByteArray& range) const {
  ox::HttpRequest request;
  request.url = url(pathAndQuery);
  if (!range.isEmpty()) request.headers.append({"Range", range});
  return perform(request);
}

ox::HttpResponse perform(ox::HttpRequest request) {
  request.headers.append({QByteArray("Connection"), QByteArray("close")});
  return ox::httpPerform(request);
}

namespace {

// Headers and as many body bytes as they announce: a kept-alive connection says no more.
bool answerIsComplete(const QByteArray& answer) {
  const qsizetype end = answer.indexOf("\r\n\r\n");
  if (end < 0) return false;
  const qsizetype at = answer.toLower().indexOf("\r\ncontent-length:");
  if (at < 0 || at > end) return false;
  const qsizetype eol = answer.indexOf("\r\n", at + 2);
  return answer.size() - end - 4 >= answer.mid(at + 17, eol - at - 17).trimmed().toLongLong();
}

}  // namespace

int connectTo(int port, const char* from, int receiveBuffer) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  ::inet_pton(AF_INET, from, &address.sin_addr);
  if (receiveBuffer > 0) ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return ::close(s), -1;
  address.sin_port = htons(quint16(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return ::close(s), -1;
  return s;
}

QByteArray rawExchange(int port, const QByteArray& bytes, int quietMs, const char* from) {
  const int s = connectTo(port, from);
  QByteArray answer;
  if (s >= 0) {
    for (qsizetype sent = 0; sent < bytes.size();) {
      const ssize_t n = ::send(s, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
      if (n <= 0) break;  // the server may close on a request it refuses before reading it all
      sent += n;
    }
    char buffer[65536];
    for (pollfd p{s, POLLIN, 0}; ::poll(&p, 1, quietMs) > 0;) {
      const ssize_t n = ::recv(s, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      answer.append(buffer, n);
      if (answerIsComplete(answer)) break;
    }
    ::close(s);
  }
  return answer;
}

bool endsWithin(int s, int ms, QByteArray* got) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  char buffer[65536];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    pollfd p{s, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) return false;
    const ssize_t n = ::recv(s, buffer, sizeof buffer, 0);
    if (n <= 0) return true;
    if (got) got->append(buffer, n);
  }
}

qint64 residentBytes() {
  QFile status(QStringLiteral("/proc/self/status"));
  status.open(QIODevice::ReadOnly);
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
  return 0;
}

}  // namespace servertest
