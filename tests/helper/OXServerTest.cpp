#include "helper/OXServer.h"

#include <gtest/gtest.h>

#include <QFile>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "core/OXArchiveClasses.h"
#include "platform/foundation/FileName.h"
#include "tests/core/LibraryTestUtil.h"
#include "tests/helper/ServerFixture.h"

using servertest::rawExchange;
using servertest::residentBytes;
using servertest::ServedLibrary;

namespace {

QList<std::shared_ptr<OXMovie>> decodedMovies(const QByteArray& archive) {
  registerCoreArchiveClasses();
  const ox::KeyedUnarchiver unarchiver(archive);
  EXPECT_TRUE(unarchiver.isValid());
  EXPECT_EQ(unarchiver.rootKeys(), QStringList{"movieList"});
  // Read whole by the store's rule: nothing left out, nothing in it that its root does not reach.
  EXPECT_TRUE(unarchiver.unreachedObjects().isEmpty());
  QList<std::shared_ptr<OXMovie>> movies;
  for (const QVariant& v : unarchiver.decodeList(QStringLiteral("movieList")))
    if (auto movie = ox::codingAs<OXMovie>(v)) movies << movie;
  return movies;
}

}  // namespace

TEST(OXServer, MoviesAnswerIsTheLibrarysMovieListAsAKeyedArchive) {
  ServedLibrary served;
  ASSERT_TRUE(served.server->isRunning());
  const ox::HttpResponse r = served.get("/movies");
  ASSERT_EQ(r.status, 200);
  EXPECT_EQ(r.header("Content-Type"), "application/octet-stream");
  EXPECT_EQ(r.header("Server"), "OmbrixHelper/1.0");
  const auto movies = decodedMovies(r.body);
  const auto expected = served.library->movieList();
  ASSERT_EQ(movies.size(), expected.size());
  for (qsizetype i = 0; i < movies.size(); ++i) {
    EXPECT_EQ(movies[i]->description(), expected[i]->description());
    EXPECT_EQ(movies[i]->imdb(), expected[i]->imdb());
    EXPECT_EQ(movies[i]->file()->filePath(), expected[i]->file()->filePath());
  }

  QTemporaryDir empty;
  auto nothing = OXLibrary::libraryWithSupportFolder(empty.path());
  OXServer bare(nothing.get(), 0, false);
  ox::HttpRequest request;
  request.url = QUrl(QStringLiteral("http://127.0.0.1:%1/movies").arg(bare.port()));
  const ox::HttpResponse none = servertest::perform(request);
  ASSERT_EQ(none.status, 200);
  EXPECT_TRUE(decodedMovies(none.body).isEmpty());
}

TEST(OXServer, MovieFileComesWholeOrByRangeByteForByte) {
  ServedLibrary served;
  const QByteArray& file = served.bytes;
  const qsizetype n = file.size();
  const ox::HttpResponse whole = served.get("/movies/tt0000001");
  ASSERT_EQ(whole.status, 200);
  EXPECT_EQ(whole.header("Accept-Ranges"), "bytes");
  EXPECT_EQ(whole.header("Content-Type"), "video/x-matroska");
  EXPECT_TRUE(whole.body == file);

  struct Case {
    QByteArray range;
    qsizetype first, last;
  } cases[] = {
      {"bytes=0-99", 0, 99},                         // the first bytes
      {"bytes=1048570-2097160", 1048570, 2097160},   // across chunk boundaries in the middle
      {"bytes=-500", n - 500, n - 1},                // a suffix
      {"bytes=3000000-", 3000000, n - 1},            // open end
      {"bytes=10-" + QByteArray::number(n + 999), 10, n - 1},  // past the end: cut at the end
      {"bytes=-" + QByteArray::number(n + 5), 0, n - 1},       // a suffix longer than the file
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.range.toStdString());
    const ox::HttpResponse r = served.get("/movies/tt0000001", c.range);
    ASSERT_EQ(r.status, 206);
    EXPECT_EQ(r.header("Content-Range"), QByteArray("bytes %1-%2/%3")
                                             .replace("%1", QByteArray::number(c.first))
                                             .replace("%2", QByteArray::number(c.last))
                                             .replace("%3", QByteArray::number(n)));
    EXPECT_TRUE(r.body == file.mid(c.first, c.last - c.first + 1));
  }

  for (const QByteArray& bad : {"bytes=" + QByteArray::number(n) + "-", QByteArray("bytes=-0")}) {
    SCOPED_TRACE(bad.toStdString());
    const ox::HttpResponse r = served.get("/movies/tt0000001", bad);
    EXPECT_EQ(r.status, 416);
    EXPECT_EQ(r.header("Server"), "OmbrixHelper/1.0");
    EXPECT_TRUE(r.body.isEmpty());
  }
  EXPECT_EQ(served.get("/movies/tt0000001", "bytes=" + QByteArray::number(n) + "-").header("Content-Range"),
            "bytes */" + QByteArray::number(n));
  // Several ranges at once: the whole file, which HTTP allows.
  const ox::HttpResponse several = served.get("/movies/tt0000001", "bytes=0-1,5-6");
  EXPECT_EQ(several.status, 200);
  EXPECT_TRUE(several.body == file);
}

TEST(OXServer, ARangeOfAnotherUnitOrThatDoesNotParseIsIgnoredForTheWholeFile) {
  ServedLibrary served;
  for (const QByteArray& ignored : {QByteArray("items=0-1"), QByteArray("5-2"), QByteArray("abc"),
                                    QByteArray("bytes=5-2"), QByteArray("bytes=x"), QByteArray("bytes=1-2-3")}) {
    SCOPED_TRACE(ignored.toStdString());
    const ox::HttpResponse r = served.get("/movies/tt0000001", ignored);
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.header("Content-Range").isEmpty());
    EXPECT_TRUE(r.body == served.bytes);
  }
  // Range units are compared without regard to case.
  const ox::HttpResponse upper = served.get("/movies/tt0000001", "BYTES=0-1");
  EXPECT_EQ(upper.status, 206);
  EXPECT_EQ(upper.header("Content-Range"), "bytes 0-1/" + QByteArray::number(served.bytes.size()));
}

TEST(OXServer, OnlyTheFilesOfListedMoviesAreServed) {
  ServedLibrary served;
  EXPECT_EQ(served.get("/movies/tt0000002").body, "second movie");
  EXPECT_EQ(served.get("/movies/tt0000002").header("Content-Type"), "video/mp4");
  // Two records of one code: the first in list order wins.
  served.library->addContent(libtest::movie("tt0000002", served.path("first.mkv")));
  EXPECT_EQ(served.get("/movies/tt0000002").body, "second movie");

  // A file whose name is Latin-1, not UTF-8, is found by the bytes it has on disk.
  const QByteArray latin1 = QFile::encodeName(served.path("Caf")) + "\xe9.mkv";
  std::FILE* film = std::fopen(latin1.constData(), "wb");
  ASSERT_TRUE(film);
  std::fputs("latin-1 film", film);
  std::fclose(film);
  served.library->addContent(libtest::movie("tt0000003", ox::decodeFileName(latin1)));
  EXPECT_EQ(served.get("/movies/tt0000003").body, "latin-1 film");

  served.library->addContent(libtest::movie("tt0000009", served.path("gone.avi")));
  for (const QString& path : {QStringLiteral("/movies/tt9999999"), QStringLiteral("/movies/tt0000009"),
                              QStringLiteral("/movies/..%2Ffirst.mkv"), QStringLiteral("/movies/%2Fetc%2Fpasswd"),
                              QStringLiteral("/movies/tt0000001/../tt0000001x")}) {
    SCOPED_TRACE(path.toStdString());
    const ox::HttpResponse r = served.get(path, "bytes=0-3");
    EXPECT_EQ(r.status, 404);
    EXPECT_EQ(r.header("Server"), "OmbrixHelper/1.0");
  }
}

TEST(OXServer, SampleRoutesAnswerTheirFixedTexts) {
  ServedLibrary served;
  EXPECT_EQ(served.get("/hello").body, "Hello!");
  EXPECT_EQ(served.get("/hello/Ann").body, "Hello Ann!");
  EXPECT_EQ(served.get("/page/042").body, "You requested page 042");
  EXPECT_EQ(served.get("/page/4x2").status, 404);
  EXPECT_EQ(served.get("/page/").status, 404);
  EXPECT_EQ(served.get("/selector").body, "Handled through selector");
  // Ranges mean nothing to the small answers: whole, never a broken part.
  const ox::HttpResponse ranged = served.get("/hello", "bytes=100-200");
  EXPECT_EQ(ranged.status, 200);
  EXPECT_EQ(ranged.body, "Hello!");

  ox::HttpRequest post;
  post.method = "POST";
  post.url = served.url("/widgets");
  post.contentType = "application/octet-stream";
  post.body = QByteArray("\0\1binary\xff", 10);
  const ox::HttpResponse echoed = servertest::perform(post);
  EXPECT_EQ(echoed.status, 200);
  EXPECT_TRUE(echoed.body == post.body);
  post.body.clear();
  post.form.clear();
  EXPECT_TRUE(servertest::perform(post).body.isEmpty());
  EXPECT_EQ(served.get("/nowhere").header("Server"), "OmbrixHelper/1.0");
}

TEST(OXServer, MalformedAndOversizedRequestsAreRefusedAndTheServerGoesOn) {
  ServedLibrary served;
  const int port = served.server->port();
  // Refused with a 400 or closed unanswered.
  const auto unanswered = [](const QByteArray& a) { return a.isEmpty() || a.startsWith("HTTP/1.1 400"); };
  EXPECT_TRUE(unanswered(rawExchange(port, "NONSENSE\r\n\r\n")));
  // A header line without a colon: passed over or refused, but answered.
  EXPECT_TRUE(rawExchange(port, "GET /hello HTTP/1.1\r\nHost\r\n\r\n").startsWith("HTTP/1.1 "));
  EXPECT_TRUE(unanswered(rawExchange(port, QByteArray("\0\1\2\3\r\n\r\n", 8), 300)));
  const QByteArray longTarget = "GET /hello/" + QByteArray(20000, 'a') + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
  EXPECT_TRUE(rawExchange(port, longTarget).startsWith("HTTP/1.1 414"));
  const QByteArray longHeader = "GET /hello HTTP/1.1\r\nHost: x\r\nConnection: close\r\nX-Big: " + QByteArray(20000, 'b') + "\r\n\r\n";
  const QByteArray refused = rawExchange(port, longHeader);
  EXPECT_TRUE(refused.isEmpty() || refused.startsWith("HTTP/1.1 4")) << refused.left(40).constData();
  const QByteArray bigBody = "POST /widgets HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Length: " +
                             QByteArray::number(qint64(OXServer::kMaxBodyLength) + 1) + "\r\n\r\n" +
                             QByteArray(int(OXServer::kMaxBodyLength) + 1, 'c');
  EXPECT_TRUE(rawExchange(port, bigBody).startsWith("HTTP/1.1 413"));
  const QByteArray endless = "POST /widgets HTTP/1.1\r\nHost: x\r\nConnection: close\r\nTransfer-Encoding: chunked\r\n\r\n200000\r\n" +
                             QByteArray(0x200000, 'd') + "\r\n0\r\n\r\n";
  // Header lines without end: cut off after a bounded read, not kept in memory.
  const QByteArray endlessHeaders = "GET /hello HTTP/1.1\r\n" + QByteArray("X-A: " + QByteArray(4000, 'e') + "\r\n")
                                                                      .repeated(16000);
  const qint64 before = residentBytes();
  const QByteArray cut = rawExchange(port, endlessHeaders);
  EXPECT_TRUE(cut.isEmpty() || cut.startsWith("HTTP/1.1 4")) << cut.left(40).constData();
  EXPECT_LT(residentBytes() - before, 16 << 20);
  // A client that stops half-way through its request line.
  rawExchange(port, "GET /mov", 100);
  EXPECT_EQ(served.get("/hello").body, "Hello!");
}

TEST(OXServer, AChunkedRequestIsRefusedWith411AndItsBodyIsNeverTakenForARequest) {
  ServedLibrary served;
  const QByteArray inner = "GET /hello HTTP/1.1\r\nHost: x\r\n\r\n";
  const int s = servertest::connectTo(served.server->port());
  const QByteArray request = "POST /widgets HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n" +
                             QByteArray::number(inner.size(), 16) + "\r\n" + inner + "\r\n0\r\n\r\n";
  ASSERT_EQ(::send(s, request.constData(), size_t(request.size()), MSG_NOSIGNAL), request.size());
  QByteArray answer;
  EXPECT_TRUE(servertest::endsWithin(s, 3000, &answer));
  ::close(s);
  EXPECT_TRUE(answer.startsWith("HTTP/1.1 411")) << answer.left(40).constData();
  EXPECT_EQ(answer.count("HTTP/1.1"), 1);
}

TEST(OXServer, TwoLengthsOrNoSingleHostAreRefusedWith400AndNothingAfterIsTakenForARequest) {
  ServedLibrary served;
  const QByteArray smuggled = "GET /hello/smuggled3 HTTP/1.1\r\nHost: x\r\n\r\n";
  const QByteArray body = "abcde" + smuggled;
  const QByteArray refused[] = {
      "POST /widgets HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\ncontent-length: " + QByteArray::number(body.size()) +
          "\r\n\r\n" + body,
      "POST /widgets HTTP/1.1\r\nHost: x\r\nContent-Length: " + QByteArray::number(body.size()) +
          "\r\nContent-Length: 5\r\n\r\n" + body,
      "GET /hello HTTP/1.1\r\n\r\n" + smuggled,
      "GET /hello HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n" + smuggled,
  };
  for (const QByteArray& request : refused) {
    SCOPED_TRACE(request.left(request.indexOf("\r\n\r\n")).toStdString());
    const int s = servertest::connectTo(served.server->port());
    ASSERT_EQ(::send(s, request.constData(), size_t(request.size()), MSG_NOSIGNAL), request.size());
    QByteArray answer;
    EXPECT_TRUE(servertest::endsWithin(s, 3000, &answer));
    ::close(s);
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 400")) << answer.left(40).constData();
    EXPECT_TRUE(answer.contains("\r\nConnection: close\r\n"));
    EXPECT_EQ(answer.count("HTTP/1.1"), 1);
    EXPECT_FALSE(answer.contains("smuggled"));
  }
  // One length said twice frames the body one way only, and HTTP/1.0 has no Host to give.
  EXPECT_TRUE(rawExchange(served.server->port(), "POST /widgets HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n"
                                                 "Content-Length: 5\r\nConnection: close\r\n\r\nabcde")
                  .endsWith("\r\n\r\nabcde"));
  EXPECT_TRUE(rawExchange(served.server->port(), "GET /hello HTTP/1.0\r\n\r\n").endsWith("\r\n\r\nHello!"));
}

TEST(OXServer, HeadersBeyond64KiBAreRefusedAndLongOnesWithinAreAnswered) {
  ServedLibrary served;
  const int port = served.server->port();
  QByteArray lines;
  for (int i = 0; i < 10000; ++i) lines += "X-Line-" + QByteArray::number(i) + ": 0123456789\r\n";
  const QByteArray flood = rawExchange(port, "GET /hello HTTP/1.1\r\nHost: x\r\n" + lines + "\r\n");
  EXPECT_TRUE(flood.startsWith("HTTP/1.1 431")) << flood.left(40).constData();
  const QByteArray within = "GET /hello HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" +
                            QByteArray("X-Long: " + QByteArray(7000, 'w') + "\r\n").repeated(8) + "\r\n";
  EXPECT_TRUE(rawExchange(port, within).endsWith("\r\n\r\nHello!"));
}

TEST(OXServer, TwoHundredClientsAtOnceAllGetTheirAnswers) {
  ServedLibrary served;
  const QByteArray& file = served.bytes;
  constexpr int kClients = 200;
  std::atomic<int> right{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i)
    clients.emplace_back([&, i] {
      const qsizetype first = qsizetype(i) * 15000;
      const QByteArray range = "bytes=" + QByteArray::number(first) + "-" + QByteArray::number(first + 65535);
      const ox::HttpResponse r = i % 4 == 0 ? served.get("/movies") : served.get("/movies/tt0000001", range);
      if (i % 4 == 0 ? r.status == 200 && r.body.size() > 100 : r.status == 206 && r.body == file.mid(first, 65536))
        ++right;
    });
  for (auto& c : clients) c.join();
  EXPECT_EQ(right.load(), kClients);
}

TEST(OXServer, ATakenPortLeavesTheHelperWithoutServerOrPublication) {
  ServedLibrary served;
  OXServer second(served.library.get(), served.server->port(), true);
  EXPECT_FALSE(second.isRunning());
  EXPECT_EQ(second.port(), 0);
  EXPECT_EQ(second.service(), nullptr);
  EXPECT_EQ(served.get("/hello").body, "Hello!");
}

TEST(OXServer, PortComesFromTheEnvironmentWhenItNamesOne) {
  qunsetenv(OXServer::kPortVariable);
  EXPECT_EQ(OXServer::portFromEnvironment(), 5050);
  qputenv(OXServer::kPortVariable, "0");
  EXPECT_EQ(OXServer::portFromEnvironment(), 0);
  qputenv(OXServer::kPortVariable, "70000");
  EXPECT_EQ(OXServer::portFromEnvironment(), 5050);
  qputenv(OXServer::kPortVariable, "6061");
  EXPECT_EQ(OXServer::portFromEnvironment(), 6061);
  qputenv(OXServer::kPortVariable, "0");
}
