#pragma once
// Shared by the streamer view tests: the stand-in peerflix script in place of the streaming program, played one
// step at a time, and waits that move the views' manual clock along.
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <functional>

#include <signal.h>

#include <cerrno>

#include "platform/foundation/DelayedCall.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestUtil.h"

namespace streamertest {

// While it lives, every stream driver runs tests/standin/peerflix.js, which plays the steps written here.
class PeerflixStandIn {
 public:
  PeerflixStandIn() {
    qputenv("OMBRIX_PEERFLIX_SCRIPT", QByteArray(OX_SOURCE_DIR "/tests/standin/peerflix.js"));
    qputenv("OX_PEERFLIX_STANDIN_STEPS", steps_.toLocal8Bit());
  }
  ~PeerflixStandIn() {
    qunsetenv("OMBRIX_PEERFLIX_SCRIPT");
    qunsetenv("OX_PEERFLIX_STANDIN_STEPS");
  }
  static bool available() { return !QStandardPaths::findExecutable("node").isEmpty(); }
  // Appends one step ("peers 4", "address http://127.0.0.1:8888/", "exit 3") for every running stand-in.
  void step(const QString& line) const {
    QFile f(steps_);
    if (f.open(QIODevice::Append)) f.write(line.toUtf8() + "\n");
  }

 private:
  QTemporaryDir dir_;
  QString steps_ = dir_.filePath("steps");
};

// What peerflix serves from a torrent: a film at the root of a loopback server, with byte ranges as peerflix
// answers them (a resumed title seeks into the stream).
class FilmStream {
 public:
  bool serve(const QString& film) {
    QFile f(film);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray data = f.readAll();
    server_.setHandler("/", [data](const oxtest::LoopbackServer::Request& request) {
      const QByteArray range = request.header("Range");
      const qsizetype dash = range.indexOf('-');
      if (!range.startsWith("bytes=") || dash < 0 || range.contains(','))
        return oxtest::LoopbackServer::Reply{200, data, "video/x-matroska", {{"Accept-Ranges", "bytes"}}};
      const qint64 first = range.mid(6, dash - 6).toLongLong();
      const qint64 last = dash + 1 < range.size() ? std::min<qint64>(range.mid(dash + 1).toLongLong(), data.size() - 1)
                                                  : data.size() - 1;
      if (first > last) return oxtest::LoopbackServer::Reply{416, {}, "text/plain", {}};
      return oxtest::LoopbackServer::Reply{
          206, data.mid(first, last - first + 1), "video/x-matroska",
          {{"Accept-Ranges", "bytes"}, {"Content-Range", QStringLiteral("bytes %1-%2/%3").arg(first).arg(last).arg(data.size()).toLatin1()}}};
    });
    return true;
  }
  // The stand-in's step that announces the stream's address.
  QString announcement() const { return QStringLiteral("address http://127.0.0.1:%1/").arg(server_.port()); }
  int requestCount() const { return server_.requestCount(); }

 private:
  oxtest::LoopbackServer server_;
};

inline bool gone(qint64 pid) { return pid > 0 && ::kill(pid_t(pid), 0) == -1 && errno == ESRCH; }

// The views' delays follow DelayedCall's manual clock, which moves along while the test waits for a child process
// or for the player.
inline bool waitFor(const std::function<bool()>& done, int ms = 10000) {
  return oxtest::spinUntil([&] {
    ox::DelayedCall::advanceManualTime(0.02);
    return done();
  }, ms);
}

}  // namespace streamertest
