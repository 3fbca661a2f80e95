#include "platform/foundation/HttpClient.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <thread>

using oxtest::LoopbackServer;
using Reply = LoopbackServer::Reply;

namespace {

QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& data) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

}  // namespace

TEST(HttpClient, ConnectTimeoutHoldsAgainstAListenerThatNeverAccepts) {
  oxtest::StalledListener stalled;
  ASSERT_TRUE(stalled.isStalled());
  ox::HttpRequest request;
  request.url = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(stalled.port()));
  request.connectTimeoutMs = 300;
  request.totalTimeoutMs = 30000;
  QElapsedTimer clock;
  clock.start();
  const ox::HttpResponse r = ox::httpPerform(request);
  EXPECT_FALSE(r.transportOk);
  EXPECT_FALSE(r.isSuccess());
  EXPECT_FALSE(r.error.isEmpty());
  EXPECT_GE(clock.elapsed(), 250);
  EXPECT_LT(clock.elapsed(), 5000);
}

TEST(HttpClient, TotalTimeoutHoldsAgainstAServerThatNeverAnswers) {
  LoopbackServer server;
  server.setNeverAnswer(true);
  ox::HttpRequest request;
  request.url = server.url(QStringLiteral("/slow"));
  request.totalTimeoutMs = 400;
  QElapsedTimer clock;
  clock.start();
  const ox::HttpResponse r = ox::httpPerform(request);
  EXPECT_FALSE(r.transportOk);
  EXPECT_EQ(r.status, 0);
  EXPECT_GE(clock.elapsed(), 350);
  EXPECT_LT(clock.elapsed(), 5000);
  EXPECT_TRUE(server.waitForRequests(1, 5000));  // a slow (sanitized) server may read it after the client gave up
  EXPECT_EQ(server.requestCount(), 1);

  // The same thread's next request still goes through once the server answers again.
  server.setNeverAnswer(false);
  server.setReply(QStringLiteral("/slow"), {200, "late", "text/plain", {{"X-Answer", "42"}}});
  const ox::HttpResponse next = ox::httpGet(server.url(QStringLiteral("/slow")));
  EXPECT_TRUE(next.isSuccess());
  EXPECT_EQ(next.body, "late");
  EXPECT_EQ(next.header("x-answer"), "42");
  EXPECT_EQ(next.header("X-Missing"), "");
}

TEST(HttpClient, DownloadReplacesTheFileOnlyAfterACompleteSuccess) {
  LoopbackServer server;
  server.setReply(QStringLiteral("/gone"), {404, "no such poster", "text/plain", {}});
  server.setReply(QStringLiteral("/poster"), {200, QByteArray(100000, 'p'), "image/jpeg", {}});
  server.setReply(QStringLiteral("/moved"), {302, "see elsewhere", "text/plain", {{"Location", "/poster"}}});
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("poster.jpg"));
  ASSERT_TRUE(writeFile(path, "old"));
  const auto onlyFile = [&] { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); };

  ox::HttpRequest request;
  request.url = server.url(QStringLiteral("/gone"));
  request.downloadPath = path;
  ox::HttpResponse r = ox::httpPerform(request);
  EXPECT_TRUE(r.transportOk);
  EXPECT_EQ(r.status, 404);
  EXPECT_FALSE(r.isSuccess());
  EXPECT_EQ(r.body, "no such poster");
  EXPECT_EQ(readFile(path), "old");
  EXPECT_EQ(onlyFile(), QStringList{QStringLiteral("poster.jpg")});

  // A redirect's own body never reaches the file; only the final answer's does.
  request.url = server.url(QStringLiteral("/moved"));
  r = ox::httpPerform(request);
  EXPECT_TRUE(r.isSuccess());
  EXPECT_TRUE(r.body.isEmpty());
  EXPECT_EQ(r.header("Content-Type"), "image/jpeg");
  EXPECT_EQ(readFile(path), QByteArray(100000, 'p'));
  EXPECT_EQ(onlyFile(), QStringList{QStringLiteral("poster.jpg")});

  // An answer that never completes leaves the file as it was.
  ASSERT_TRUE(writeFile(path, "old"));
  server.setNeverAnswer(true);
  request.totalTimeoutMs = 300;
  EXPECT_FALSE(ox::httpPerform(request).transportOk);
  EXPECT_EQ(readFile(path), "old");
  EXPECT_EQ(onlyFile(), QStringList{QStringLiteral("poster.jpg")});
  server.setNeverAnswer(false);

  request.downloadPath = dir.filePath(QStringLiteral("no/such/folder/poster.jpg"));
  r = ox::httpPerform(request);
  EXPECT_FALSE(r.transportOk);
  EXPECT_FALSE(r.error.isEmpty());
}

TEST(HttpClient, SendsExactlyTheFormPairsAndHeadersAskedFor) {
  LoopbackServer server;
  server.setReply(QStringLiteral("/form"), {200, "ok", "text/plain", {}});
  const QList<QPair<QString, QString>> form = {{"a&b", "c=d"},
                                               {"plus+", "#hash"},
                                               {"name", QStringLiteral("Zoë 東京")},
                                               {"empty", ""},
                                               {"a&b", "second"}};
  ox::HttpRequest request;
  request.url = server.url(QStringLiteral("/form?x=1"));
  request.form = form;  // a GET that carries a form goes as POST
  request.headers = {{"X-Client", "Ombrix/1.0"}, {"X-Words", "two words"}};
  const ox::HttpResponse r = ox::httpPerform(request);
  ASSERT_TRUE(r.isSuccess()) << r.error.toStdString();
  EXPECT_EQ(r.body, "ok");

  ASSERT_EQ(server.requestCount(), 1);
  const LoopbackServer::Request got = server.requests().first();
  EXPECT_EQ(got.method, "POST");
  EXPECT_EQ(got.path, "/form");
  EXPECT_EQ(got.query, (QList<QPair<QString, QString>>{{"x", "1"}}));
  EXPECT_EQ(got.body, "a%26b=c%3Dd&plus%2B=%23hash&name=Zo%C3%AB%20%E6%9D%B1%E4%BA%AC&empty=&a%26b=second");
  EXPECT_EQ(got.form(), form);
  EXPECT_TRUE(got.header("Content-Type").startsWith("application/x-www-form-urlencoded"));
  EXPECT_EQ(got.header("x-client"), "Ombrix/1.0");
  EXPECT_EQ(got.header("X-Words"), "two words");
  EXPECT_TRUE(got.header("Authorization").isEmpty());
  EXPECT_TRUE(got.header("Cookie").isEmpty());
}

TEST(HttpClient, RawBodiesAndOtherMethods) {
  LoopbackServer server;
  server.setReply(QStringLiteral("/item"), {204, "", "text/plain", {}});
  ox::HttpRequest request;
  request.method = "PUT";
  request.url = server.url(QStringLiteral("/item"));
  request.body = R"({"id":7})";
  request.contentType = "application/json";
  EXPECT_TRUE(ox::httpPerform(request).isSuccess());
  request.method = "DELETE";
  request.body.clear();
  request.contentType.clear();
  EXPECT_TRUE(ox::httpPerform(request).isSuccess());
  request.method = "POST";
  request.body = "raw";
  EXPECT_TRUE(ox::httpPerform(request).isSuccess());
  // A header that would smuggle another header is refused before anything is sent.
  request.headers = {{"X-Bad", "a\r\nX-Evil: 1"}};
  const ox::HttpResponse refused = ox::httpPerform(request);
  EXPECT_FALSE(refused.transportOk);
  EXPECT_FALSE(refused.error.isEmpty());

  const QList<LoopbackServer::Request> got = server.requests();
  ASSERT_EQ(got.size(), 3);
  EXPECT_EQ(got[0].method, "PUT");
  EXPECT_EQ(got[0].body, R"({"id":7})");
  EXPECT_EQ(got[0].header("Content-Type"), "application/json");
  EXPECT_EQ(got[1].method, "DELETE");
  EXPECT_TRUE(got[1].body.isEmpty());
  EXPECT_EQ(got[2].method, "POST");
  EXPECT_EQ(got[2].body, "raw");
  EXPECT_NE(got[2].header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST(HttpClient, BasicAuthenticationPreemptiveAndOnChallenge) {
  LoopbackServer server;
  const QByteArray expected = "Basic " + QByteArray("reader:pässwörd").toBase64();
  server.setHandler(QStringLiteral("/private"), [&](const LoopbackServer::Request& r) {
    if (r.header("Authorization") == expected) return Reply{200, "secret", "text/plain", {}};
    return Reply{401, "who are you", "text/plain", {{"WWW-Authenticate", R"(Basic realm="library")"}}};
  });
  ox::HttpRequest request;
  request.url = server.url(QStringLiteral("/private"));
  request.user = QStringLiteral("reader");
  request.password = QStringLiteral("pässwörd");

  request.auth = ox::HttpRequest::Auth::None;
  EXPECT_EQ(ox::httpPerform(request).status, 401);
  server.clearRequests();

  request.auth = ox::HttpRequest::Auth::BasicPreemptive;
  ox::HttpResponse r = ox::httpPerform(request);
  EXPECT_TRUE(r.isSuccess());
  EXPECT_EQ(r.body, "secret");
  ASSERT_EQ(server.requestCount(), 1);
  EXPECT_EQ(server.requests()[0].header("Authorization"), expected);
  server.clearRequests();

  // On challenge: the first request goes without credentials, the answer to the 401 carries them and the form again.
  request.auth = ox::HttpRequest::Auth::BasicOnChallenge;
  request.form = {{"q", "1"}};
  r = ox::httpPerform(request);
  EXPECT_TRUE(r.isSuccess()) << r.status;
  EXPECT_EQ(r.body, "secret");
  EXPECT_TRUE(r.header("WWW-Authenticate").isEmpty());  // headers are the final answer's
  const QList<LoopbackServer::Request> got = server.requests();
  ASSERT_EQ(got.size(), 2);
  EXPECT_TRUE(got[0].header("Authorization").isEmpty());
  EXPECT_EQ(got[1].header("Authorization"), expected);
  EXPECT_EQ(got[1].body, "q=1");
}

TEST(HttpClient, ConcurrentRequestsFromSeveralThreads) {
  LoopbackServer server;
  server.setHandler(QStringLiteral("/echo"), [](const LoopbackServer::Request& r) {
    return Reply{200, r.query.value(0).second.toUtf8(), "text/plain", {}};
  });
  constexpr int kThreads = 8, kEach = 20;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        const QString tag = QStringLiteral("%1-%2").arg(t).arg(i);
        const ox::HttpResponse r = ox::httpGet(server.url(QStringLiteral("/echo?tag=") + tag), 10000);
        if (!r.isSuccess() || r.body != tag.toUtf8()) ++wrong;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(server.requestCount(), kThreads * kEach);
}

TEST(HttpClient, ACancelledTransferEndsAtOnceAndLeavesNoFile) {
  LoopbackServer server;
  server.setNeverAnswer(true);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("poster.jpg"));
  auto token = std::make_shared<ox::HttpCancel>();
  std::thread canceller([token] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    token->cancel();
  });
  ox::HttpRequest request;
  request.url = server.url(QStringLiteral("/stalled"));
  request.downloadPath = path;
  request.cancel = token;
  QElapsedTimer clock;
  clock.start();
  const ox::HttpResponse r = ox::httpPerform(request);
  canceller.join();
  EXPECT_TRUE(r.cancelled);
  EXPECT_FALSE(r.transportOk);
  EXPECT_LT(clock.elapsed(), 5000);  // not the minute of its time-out
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());

  // A scope's token covers the requests beneath it that carry none; once cancelled nothing more is sent.
  server.clearRequests();
  {
    ox::HttpCancelScope scope(token);
    EXPECT_TRUE(ox::httpGet(server.url(QStringLiteral("/later"))).cancelled);
  }
  EXPECT_EQ(server.requestCount(), 0);
}

TEST(HttpClient, TheSizeBoundCountsDecodedBytesAndKeepsTheOldFile) {
  LoopbackServer server;
  // 64 KiB of zeros compress to a few hundred bytes: the bound must hold on what they decode to.
  QByteArray zeros(64 * 1024, '\0');
  QByteArray packed = qCompress(zeros, 9).mid(4);  // zlib stream without Qt's length prefix
  server.setReply(QStringLiteral("/list"), {200, packed, "application/octet-stream", {{"Content-Encoding", "deflate"}}});
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("trailers_en.ox"));
  ASSERT_TRUE(writeFile(path, "old"));
  ox::HttpRequest request;
  request.url = server.url(QStringLiteral("/list"));
  request.downloadPath = path;
  request.maxBytes = 16 * 1024;
  const ox::HttpResponse r = ox::httpPerform(request);
  EXPECT_FALSE(r.transportOk);
  EXPECT_EQ(readFile(path), "old");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("trailers_en.ox")});

  request.maxBytes = 64 * 1024;
  EXPECT_TRUE(ox::httpPerform(request).isSuccess());
  EXPECT_EQ(readFile(path), zeros);
}
