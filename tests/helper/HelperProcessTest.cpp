#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVirtualObject>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <tuple>

#include "core/OXLibrary.h"
#include "core/OXMovie.h"
#include "scanner/Keychain.h"

#include "tests/helper/HelperTestSupport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

namespace {

const QString kHelper = QStringLiteral(OX_BINARY_DIR "/bin/ombrix-helper");
const QString kPoster = QStringLiteral(OX_BINARY_DIR "/tools/ox-post-notification");
const QString kName = QStringLiteral("Varnel.OmbrixHelper");
// The helper with a person who acts once it has launched (tests/helper/helpers/scripted_helper.cpp).
const QString kScriptedHelper = QStringLiteral(OX_TEST_SCRIPTED_HELPER);

// The program as the desktop starts it: a home of its own, the private bus, no display, the stand-ins.
class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QFileInfo(kHelper).isExecutable()) << qPrintable(kHelper);
    ASSERT_TRUE(bus.isRunning());
    ASSERT_TRUE(oxtest::StandIn::shared().isRunning());
    env = helpertest::programEnvironment();
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
      const QString path = home.filePath(QString::fromLatin1(name));
      QDir().mkpath(path);
      env.insert(QString::fromLatin1(name), path);
    }
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_LOGGING_RULES", "qt.qpa.*=false");
  }
  void TearDown() override {
    for (auto* p : {&first, &second, &keyring})
      if (*p && (*p)->state() != QProcess::NotRunning) {
        (*p)->kill();
        (*p)->waitForFinished(5000);
      }
  }
  std::unique_ptr<QProcess> start() {
    std::unique_ptr<QProcess> p;
    EXPECT_TRUE(oxtest::startProcess(p, kHelper, {}, env));
    return p;
  }
  // Posts a distributed notification from a program of its own on the private bus; answers its exit status.
  int post(const QString& name) {
    std::unique_ptr<QProcess> poster;
    if (!oxtest::startProcess(poster, kPoster, {name}, env) || !poster->waitForFinished(20000)) return -1;
    return poster->exitCode();
  }
  QString libraryFile() const { return home.filePath("XDG_DATA_HOME/Ombrix/library.bin"); }
  // The library as the program left it (or as the test gives it to the program).
  std::shared_ptr<OXLibrary> storedLibrary() const {
    return OXLibrary::libraryWithSupportFolder(home.filePath("XDG_DATA_HOME"));
  }
  // Requests to `service` the stand-in has seen whose path names `part`.
  static int requestsFor(const QString& service, const QString& part) {
    int n = 0;
    for (const QVariant& r : oxtest::StandIn::shared().requests(service))
      n += r.toMap().value("path").toString().contains(part);
    return n;
  }

  // The desktop's Secret Service on the test's bus, unlocked as at login: where the account password is kept.
  bool startKeyring() {
    QProcessEnvironment keyringEnv = env;
    // A runtime folder of its own, or it would hand over to the suite's daemon through that one's control socket.
    const QString runtime = home.filePath("keyring-runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    keyringEnv.insert("XDG_RUNTIME_DIR", runtime);
    if (!oxtest::startProcess(keyring, "gnome-keyring-daemon", {"--foreground", "--unlock", "--components=secrets"},
                              keyringEnv))
      return false;
    keyring->write("pw\n");
    keyring->closeWriteChannel();
    return oxtest::spinUntil([&] { return bus.hasOwner("org.freedesktop.secrets"); }, 20000);
  }
  // A person logged in at an earlier start, and the session has expired since: the e-mail, the keychain password
  // and a token whose expiry has passed are kept.
  void signInWithASessionThatHasSinceExpired() {
    oxtest::StandIn& standIn = oxtest::StandIn::shared();
    ASSERT_TRUE(standIn.answer("api", 201, R"({"id": 7, "token": "worn", "expireAt": "2001-01-01T00:00:00+01:00"})",
                               1, "/users/me/sessions"));
    QProcessEnvironment earlier = env;
    earlier.insert("OX_TEST_USER", "login");
    ASSERT_TRUE(oxtest::startProcess(second, kScriptedHelper, {}, earlier));
    // The e-mail is the login's last value but the keychain's password, which follows at once.
    const QString defaults = home.filePath("XDG_CONFIG_HOME/Varnel/Ombrix Helper.conf");
    ASSERT_TRUE(oxtest::spinUntil([&] { return QSettings(defaults, QSettings::IniFormat).contains("email"); }, 60000))
        << second->readAllStandardOutput().constData() << second->readAllStandardError().constData();
    oxtest::spinFor(500);
    ::kill(pid_t(second->processId()), SIGTERM);
    ASSERT_TRUE(second->waitForFinished(30000));
    ASSERT_TRUE(standIn.clear());
  }

  // The session's SIGTERM to the program started as `first`: it ends normally and saves the library on its way out,
  // well before a keychain call held by the quit would end at its 25 s D-Bus time-out.
  void sigtermEndsItSavingTheLibrary(const char* situation) {
    ASSERT_TRUE(QFile::remove(libraryFile()));
    QElapsedTimer quitting;
    quitting.start();
    ::kill(pid_t(first->processId()), SIGTERM);
    ASSERT_TRUE(first->waitForFinished(90000));
    std::printf("quit %s: %lld ms\n", situation, quitting.elapsed());
    EXPECT_LT(quitting.elapsed(), 10000);
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
    EXPECT_TRUE(QFile::exists(libraryFile()));
  }

  oxtest::PrivateBus bus;
  QTemporaryDir home;
  QProcessEnvironment env;
  std::unique_ptr<QProcess> first, second, keyring;
};

}  // namespace

TEST_F(Program, ASecondCopyStepsAsideAndTheFirstEndsCleanlyWithTheLibrarySaved) {
  first = start();
  ASSERT_TRUE(oxtest::spinUntil([&] { return bus.hasOwner(kName); }, 60000));
  // Its first scan has saved the library; the end must save it again.
  ASSERT_TRUE(oxtest::spinUntil([&] { return QFile::exists(libraryFile()); }, 60000));

  second = start();
  ASSERT_TRUE(second->waitForFinished(20000));
  EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second->exitCode(), 0);
  EXPECT_TRUE(second->readAllStandardError().contains("already runs"));
  EXPECT_EQ(first->state(), QProcess::Running);
  EXPECT_TRUE(bus.hasOwner(kName));

  // Another program asks it to quit: it saves the library on the way out.
  oxtest::spinFor(300);
  ASSERT_TRUE(QFile::remove(libraryFile()));
  EXPECT_EQ(post("closeOmbrixHelperNotification"), 0);
  ASSERT_TRUE(first->waitForFinished(30000));
  EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first->exitCode(), 0);
  EXPECT_TRUE(QFile::exists(libraryFile()));
  EXPECT_FALSE(bus.hasOwner(kName));
}

TEST_F(Program, TheSessionsSigtermEndsItCleanlyToo) {
  first = start();
  ASSERT_TRUE(oxtest::spinUntil([&] { return bus.hasOwner(kName); }, 60000));
  ASSERT_TRUE(oxtest::spinUntil([&] { return QFile::exists(libraryFile()); }, 60000));
  oxtest::spinFor(300);
  ASSERT_TRUE(QFile::remove(libraryFile()));
  ::kill(pid_t(first->processId()), SIGTERM);
  ASSERT_TRUE(first->waitForFinished(30000));
  EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first->exitCode(), 0);
  EXPECT_TRUE(QFile::exists(libraryFile()));
}

// Started by a launcher that quit at once (its end of the log pipe gone), the helper logs on and still ends cleanly.
TEST_F(Program, OutlivesTheReaderOfItsLog) {
  first = std::make_unique<QProcess>();
  first->setProcessEnvironment(env);
  first->start("bash", {"-c", "set -o pipefail; \"$0\" 2>&1 | true", kHelper});
  ASSERT_TRUE(first->waitForStarted(20000));
  ASSERT_TRUE(oxtest::spinUntil([&] { return QFile::exists(libraryFile()); }, 60000));  // logged its scan by then
  EXPECT_TRUE(bus.hasOwner(kName));
  EXPECT_EQ(post("closeOmbrixHelperNotification"), 0);
  ASSERT_TRUE(first->waitForFinished(30000));
  EXPECT_EQ(first->exitCode(), 0);  // the helper's own status: 141 had a log line's SIGPIPE ended it
}

// Each service in turn answers every request with 2 GiB of zeros gzip-compressed on the way (a few MiB on the wire,
// so a small transfer decodes to the full size). The helper ends each answer at what its kind can be, runs its first
// cycle through, and its resident memory stays far below what one such answer would take.
TEST_F(Program, AGzipFloodFromAnyServiceKeepsItsMemoryUnder300MB) {
  oxtest::StandIn& standIn = oxtest::StandIn::shared();
  const QString movies = home.filePath("videos/Movies"), shows = home.filePath("videos/TV/Lantern Street");
  QDir().mkpath(movies);
  QDir().mkpath(shows);
  for (const char* title : {"The.Glass.Harbour.1998", "Copper Lanterns (2004)", "Salt & Pepper 2011",
                           "Midnight.Orchard.1987", "The Paper Comet 2001", "Harbour Lights 1971"})
    ASSERT_TRUE(QFile(movies + "/" + title + ".mkv").open(QIODevice::WriteOnly));
  for (const char* code : {"S01E01", "S01E02", "S01E03", "S01E04", "S02E01", "S02E02"})
    ASSERT_TRUE(QFile(shows + "/Lantern.Street." + QString::fromUtf8(code) + ".mkv").open(QIODevice::WriteOnly));
  {
    auto library = storedLibrary();
    library->rootList()->addURLs({QUrl::fromLocalFile(movies + "/")}, 1);
    library->rootList()->addURLs({QUrl::fromLocalFile(home.filePath("videos/TV/"))}, 3);
    ASSERT_TRUE(library->saveLibrary());
  }
  QFile stored(libraryFile());
  ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
  const QByteArray fresh = stored.readAll();
  stored.close();

  // AddressSanitizer keeps freed memory in a quarantine (256 MB by default) that counts as resident; the bound is on
  // what the helper holds, so the quarantine stays small here.
  if (env.contains("ASAN_OPTIONS")) env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":quarantine_size_mb=16");
  for (const QString service : {"search", "tvdb", "bucket"}) {
    SCOPED_TRACE(service.toStdString());
    ASSERT_TRUE(standIn.clear());
    ASSERT_TRUE(standIn
                    .command({{"cmd", "fault"}, {"service", service}, {"kind", "flood"}, {"count", -1},
                              {"bytes", qint64(2) << 30}, {"encoding", "gzip"}})
                    .value("ok")
                    .toBool());
    ASSERT_TRUE(stored.open(QIODevice::WriteOnly) && stored.write(fresh) == fresh.size());  // every file new again
    stored.close();
    first = start();
    QByteArray log;
    const bool cycled = oxtest::spinUntil(
        [&] { return (log += first->readAllStandardError()).contains("library updated"); }, 60000);
    const qint64 peak = oxtest::peakResidentBytes(first->processId());
    EXPECT_GE(standIn.requests(service).size(), 3);
    EXPECT_TRUE(cycled);
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, qint64(300) << 20) << peak / (1 << 20) << " MB";
    ::kill(pid_t(first->processId()), SIGTERM);
    ASSERT_TRUE(first->waitForFinished(20000));
  }
  standIn.clear();
}

// Five catalogue titles, then 195 files whose searches the stand-in stalls, and a movie already known whose poster
// download stalls too. The helper asked to quit ends at once and keeps the five.
TEST_F(Program, QuittingDuringAStalledScanEndsAtOnceAndKeepsWhatWasIdentified) {
  oxtest::StandIn& standIn = oxtest::StandIn::shared();
  ASSERT_TRUE(standIn.clear());
  const QString known = home.filePath("videos/Known"), unfound = home.filePath("videos/Unfound");
  QDir().mkpath(known);
  QDir().mkpath(unfound);
  const QStringList titles = {"The.Glass.Harbour.1998", "Copper Lanterns (2004)", "Salt & Pepper 2011",
                              "Midnight.Orchard.1987", "The Paper Comet 2001"};
  for (const QString& title : titles + QStringList{"Harbour.Lights.1971"})
    ASSERT_TRUE(QFile(known + "/" + title + ".mkv").open(QIODevice::WriteOnly));
  for (int i = 0; i < 195; ++i)
    ASSERT_TRUE(QFile(unfound + QString("/Unfound Film Number %1.mkv").arg(i)).open(QIODevice::WriteOnly));
  {
    auto library = storedLibrary();
    library->rootList()->addURLs({QUrl::fromLocalFile(known + "/")}, 1);
    library->rootList()->addURLs({QUrl::fromLocalFile(unfound + "/")}, 1);
    auto movie = OXMovie::initWithDictionary(
        {{"id", "tt9000009"},
         {"fields", QVariantMap{{"title", "Harbour Lights"},
                                {"poster", standIn.baseUrl("bucket") + "/images/original/poster_tt9000009.png"}}}});
    auto file = OXFile::initWithType(1);
    file->setFilePath(known + "/Harbour.Lights.1971.mkv");
    movie->setFile(file);
    library->addContent(movie);
    ASSERT_TRUE(library->saveLibrary());
  }
  ASSERT_TRUE(standIn.fault("search", "stall", -1, "unfound", 60));
  ASSERT_TRUE(standIn.fault("bucket", "stall", -1, "/w500/", 60));

  first = start();
  // Every identification thread waits on a stalled search, so the catalogue titles before them are through.
  ASSERT_TRUE(oxtest::spinUntil(
      [&] { return requestsFor("search", "unfound") >= 5 && requestsFor("bucket", "/w500/") == 1; }, 60000));
  oxtest::spinFor(300);
  const int stalled = requestsFor("search", "unfound");

  // Timed from the notification's delivery: a quit that waited on a search would last to its 10 s time-out and then
  // take its own time, one that waited on the poster to its minute.
  EXPECT_EQ(post("closeOmbrixHelperNotification"), 0);
  QElapsedTimer quitting;
  quitting.start();
  ASSERT_TRUE(first->waitForFinished(20000));
  EXPECT_LT(quitting.elapsed(), 8000);
  EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first->exitCode(), 0);
  EXPECT_EQ(requestsFor("search", "unfound"), stalled);  // no file was searched after the request
  standIn.clear();

  const auto library = storedLibrary();
  QStringList movies;
  for (const auto& movie : library->movieList()) movies << movie->title();
  movies.sort();
  EXPECT_EQ(movies, QStringList({"Copper Lanterns", "Harbour Lights", "Midnight Orchard", "Salt & Pepper",
                                 "The Glass Harbour", "The Paper Comet"}));
  // The files whose search was cut short are not taken for unrecognised: the next start searches them again.
  EXPECT_TRUE(library->unknownMovieList().isEmpty());
}

TEST_F(Program, SigtermWhileTheContentBucketStallsEndsAtOnce) {
  oxtest::StandIn& standIn = oxtest::StandIn::shared();
  ASSERT_TRUE(standIn.clear());
  ASSERT_TRUE(standIn.fault("bucket", "stall", -1, {}, 60));
  first = start();
  ASSERT_EQ(standIn.waitForRequests("bucket", 1, 30000).size(), 1);  // the cycle waits for the trailer list
  oxtest::spinFor(300);
  QElapsedTimer quitting;
  quitting.start();
  ::kill(pid_t(first->processId()), SIGTERM);
  ASSERT_TRUE(first->waitForFinished(20000));
  EXPECT_LT(quitting.elapsed(), 10000);  // a wait on the list would last to its 60 s time-out
  EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(standIn.requests("bucket").size(), 1);
  standIn.clear();
  // The list cut short is no update: the next start fetches it again.
  EXPECT_TRUE(QFile::exists(libraryFile()));
  EXPECT_GT(storedLibrary()->hoursFromLastUpdateTrailers(), 120u);
}

// A person's action waits on a service that never answers (a login, a manual search, the update feed the helper
// reads at its first start, or the renewal of a session that expired since the last start) when the helper is asked
// to quit, by the notification, SIGTERM or SIGINT. The helper is gone with the library saved well before the service's
// own time limit would have let a quit that waited on it end: within 10 s of the login's and renewal's minute, 5 s of
// the search's 10 s, 2.5 s of the feed's 3 s (a quit that waited on a service takes its own time on top of the wait).
class QuitWhileAServiceStalls : public Program,
                                public ::testing::WithParamInterface<std::tuple<const char*, const char*>> {};

TEST_P(QuitWhileAServiceStalls, TheHelperIsGoneBeforeTheServicesTimeLimitWithTheLibrarySaved) {
  const QString service = QString::fromLatin1(std::get<0>(GetParam()));
  const QString way = QString::fromLatin1(std::get<1>(GetParam()));
  oxtest::StandIn& standIn = oxtest::StandIn::shared();
  ASSERT_TRUE(standIn.clear());
  oxtest::LoopbackServer feed;
  std::function<bool()> stalled;
  if (service == "login") {
    ASSERT_TRUE(standIn.fault("api", "stall", -1, "/users/me/sessions", 60));
    env.insert("OX_TEST_USER", "login");
    stalled = [] { return requestsFor("api", "/users/me/sessions") == 1; };
  } else if (service == "search") {
    ASSERT_TRUE(standIn.fault("search", "stall", -1, {}, 60));
    env.insert("OX_TEST_USER", "search");
    stalled = [] { return requestsFor("search", "nheard") == 1; };  // the title as its words are searched
  } else if (service == "renewal") {
    ASSERT_TRUE(startKeyring());
    ASSERT_NO_FATAL_FAILURE(signInWithASessionThatHasSinceExpired());
    ASSERT_TRUE(standIn.fault("api", "stall", -1, "/users/me/sessions", 60));
    stalled = [] { return requestsFor("api", "/users/me/sessions") == 1; };
  } else {
    feed.setNeverAnswer(true);
    env.insert("OMBRIX_FEED_URL", feed.url("/appcast.xml").toString());
    stalled = [&feed] { return feed.requestCount() == 1; };
  }
  ASSERT_TRUE(oxtest::startProcess(first, kScriptedHelper, {}, env));
  ASSERT_TRUE(oxtest::spinUntil([&] { return stalled() && QFile::exists(libraryFile()); }, 60000));
  oxtest::spinFor(300);
  ASSERT_EQ(first->state(), QProcess::Running);
  ASSERT_TRUE(QFile::remove(libraryFile()));

  // Timed from the request's delivery (the notification's poster is a program of its own, slow to start on a busy
  // machine).
  if (way == "notification")
    ASSERT_EQ(post("closeOmbrixHelperNotification"), 0);
  else
    ::kill(pid_t(first->processId()), way == "SIGTERM" ? SIGTERM : SIGINT);
  QElapsedTimer quitting;
  quitting.start();
  ASSERT_TRUE(first->waitForFinished(90000));
  const qint64 took = quitting.elapsed();
  std::printf("quit with the %s stalled, by %s: %lld ms\n", qPrintable(service), qPrintable(way), took);
  EXPECT_LT(took, service == "feed" ? 2500 : service == "search" ? 5000 : 10000);
  EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first->exitCode(), 0);
  EXPECT_TRUE(QFile::exists(libraryFile()));
  standIn.clear();
}

INSTANTIATE_TEST_SUITE_P(
    EachServiceAndWay, QuitWhileAServiceStalls,
    ::testing::Combine(::testing::Values("login", "search", "feed", "renewal"),
                       ::testing::Values("notification", "SIGTERM", "SIGINT")),
    [](const auto& info) { return std::string(std::get<0>(info.param)) + std::get<1>(info.param); });

namespace {

// A Secret Service that takes every call and answers none, as a keyring waiting on a prompt nobody sees. It holds the
// service's name on the test's bus while it lives.
class SilentSecrets : public QDBusVirtualObject {
 public:
  explicit SilentSecrets(const QString& busAddress)
      : connection_(QDBusConnection::connectToBus(busAddress, QStringLiteral("silent-secrets"))) {}
  ~SilentSecrets() override {
    connection_.unregisterService(QStringLiteral("org.freedesktop.secrets"));
    connection_.unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
    QDBusConnection::disconnectFromBus(QStringLiteral("silent-secrets"));
  }
  bool listen() {
    return connection_.registerVirtualObject(QStringLiteral("/"), this, QDBusConnection::SubPath) &&
           connection_.registerService(QStringLiteral("org.freedesktop.secrets"));
  }
  bool handleMessage(const QDBusMessage&, const QDBusConnection&) override {
    ++calls;
    return true;
  }
  QString introspect(const QString&) const override { return {}; }
  int calls = 0;

 protected:
  QDBusConnection connection_;
};

// A Secret Service that answers each call `delayMs` after it came (an item's Delete `deleteDelayMs`), as a keyring on
// a busy desktop: the suite's own keyring (this process's session bus) carries the call out at once, and its answer
// is held back for the rest.
class SlowSecrets : public SilentSecrets {
 public:
  SlowSecrets(const QString& busAddress, int delayMs, int deleteDelayMs)
      : SilentSecrets(busAddress), delayMs_(delayMs), deleteDelayMs_(deleteDelayMs) {}
  bool handleMessage(const QDBusMessage& call, const QDBusConnection& connection) override {
    SilentSecrets::handleMessage(call, connection);
    QDBusMessage forward = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.secrets"), call.path(),
                                                          call.interface(), call.member());
    forward.setArguments(call.arguments());
    auto* answer = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(forward), this);
    QElapsedTimer since;
    since.start();
    const int delayMs = call.member() == QLatin1String("Delete") ? deleteDelayMs_ : delayMs_;
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this, call, since, delayMs](QDBusPendingCallWatcher* answered) {
              const QDBusMessage reply = answered->reply();
              answered->deleteLater();
              QTimer::singleShot(std::max<qint64>(0, delayMs - since.elapsed()), this, [this, call, reply] {
                connection_.send(reply.type() == QDBusMessage::ErrorMessage
                                     ? call.createErrorReply(reply.errorName(), reply.errorMessage())
                                     : call.createReply(reply.arguments()));
              });
            });
    return true;
  }

 private:
  int delayMs_, deleteDelayMs_;
};

}  // namespace

// The login is answered, but the keychain that is to keep its password never is: no token ends that wait, yet the
// helper asked to quit is gone soon with the library saved.
TEST_F(Program, QuittingWhileTheKeychainDoesNotAnswerEndsAtOnce) {
  oxtest::StandIn& standIn = oxtest::StandIn::shared();
  ASSERT_TRUE(standIn.clear());
  ASSERT_TRUE(standIn.answer("api", 201, R"({"id": 7, "token": "t0k3n", "expireAt": "2099-01-01T00:00:00+01:00"})",
                             -1, "/users/me/sessions"));
  SilentSecrets silent(bus.address());
  ASSERT_TRUE(silent.listen());
  env.insert("OX_TEST_USER", "login");
  ASSERT_TRUE(oxtest::startProcess(first, kScriptedHelper, {}, env));
  ASSERT_TRUE(oxtest::spinUntil([&] { return silent.calls > 0 && QFile::exists(libraryFile()); }, 60000));
  oxtest::spinFor(300);
  sigtermEndsItSavingTheLibrary("with the keychain silent");
  standIn.clear();
}

// Someone signed in at an earlier start and the session has expired since; now the keychain takes calls and answers
// none. The helper comes up as ever: its tray item answers a press soon after start, a log-out is not held
// either, the first scan runs through, and a quit is not held.
TEST_F(Program, AKeychainThatNeverAnswersHoldsNeitherTheStartNorTheFirstScanNorTheQuit) {
  ASSERT_TRUE(oxtest::StandIn::shared().clear());
  SilentSecrets silent(bus.address());
  ASSERT_TRUE(silent.listen());
  const QString defaults = home.filePath("XDG_CONFIG_HOME/Varnel/Ombrix Helper.conf");
  {
    QSettings stored(defaults, QSettings::IniFormat);
    stored.setValue("email", "kept@ombrix.example");
    stored.setValue("token", "worn");
    stored.setValue("expireAtToken", QDateTime::currentDateTimeUtc().addDays(-1));
  }
  const QString movies = home.filePath("videos/Movies");
  QDir().mkpath(movies);
  ASSERT_TRUE(QFile(movies + "/The.Glass.Harbour.1998.mkv").open(QIODevice::WriteOnly));
  {
    auto library = storedLibrary();
    library->rootList()->addURLs({QUrl::fromLocalFile(movies + "/")}, 1);
    ASSERT_TRUE(library->saveLibrary());
  }
  env.insert("OX_TEST_USER", "logout");

  QElapsedTimer sinceStart;
  sinceStart.start();
  ASSERT_TRUE(oxtest::startProcess(first, kScriptedHelper, {}, env));
  QByteArray out, log;
  qint64 pressed = -1;
  const bool scanned = oxtest::spinUntil(
      [&] {
        out += first->readAllStandardOutput();
        if (pressed < 0 && out.contains("user: logout")) pressed = sinceStart.elapsed();
        return (log += first->readAllStandardError()).contains("library updated") && pressed >= 0;
      },
      120000);  // a first scan held by the keychain would come after its six time-outs
  std::printf("with the keychain silent: tray item and Log Out pressed %lld ms after start, first scan through at "
              "%lld ms\n",
              pressed, sinceStart.elapsed());
  EXPECT_TRUE(scanned);
  EXPECT_GE(pressed, 0);
  EXPECT_LT(pressed, 45000);  // a start that waited on the keychain would last six 25 s D-Bus time-outs
  EXPECT_GT(silent.calls, 0);  // the keychain was asked all the same
  sigtermEndsItSavingTheLibrary("with the keychain silent since start");
  EXPECT_FALSE((log + first->readAllStandardError()).contains("left behind"));
  EXPECT_FALSE(QSettings(defaults, QSettings::IniFormat).contains("email"));  // logged out
}

// With a keychain that answers each call after a second, a person logs in, logs out and quits at once: the password
// is gone from the keychain when the helper has ended. The Delete itself is answered only after half a minute, and
// the quit still ends well before that: the wait on the deletion is bounded.
TEST_F(Program, ALogOutRightBeforeTheQuitStillDeletesThePasswordFromASlowKeychain) {
  const QString service = QStringLiteral("OmbrixMac"), account = QStringLiteral("quitter@ombrix.example");
  oxtest::StandIn& standIn = oxtest::StandIn::shared();
  ASSERT_TRUE(standIn.clear());
  ASSERT_TRUE(standIn.answer("api", 201, R"({"id": 7, "token": "t0k3n", "expireAt": "2099-01-01T00:00:00+01:00"})",
                             -1, "/users/me/sessions"));
  SlowSecrets slow(bus.address(), 1000, 30000);
  ASSERT_TRUE(slow.listen());
  env.insert("OX_TEST_USER", "login logout");
  ASSERT_TRUE(oxtest::startProcess(first, kScriptedHelper, {}, env));
  QByteArray out;
  ASSERT_TRUE(oxtest::spinUntil([&] { return (out += first->readAllStandardOutput()).contains("user: logout"); },
                                60000))
      << out.constData() << first->readAllStandardError().constData();
  // Stored by the login; the deletion's Delete call waits on its search, answered a second after the log-out.
  ASSERT_EQ(ox::keychainPassword(service, account), QStringLiteral("secret"));
  QElapsedTimer quitting;
  quitting.start();
  ::kill(pid_t(first->processId()), SIGTERM);
  // The stand-in answers on this thread, so the wait runs its events.
  ASSERT_TRUE(oxtest::spinUntil([&] { return first->state() == QProcess::NotRunning; }, 60000));
  const qint64 took = quitting.elapsed();
  std::printf("quit right after a log-out, the keychain answering after 1 s and its Delete after 30 s: %lld ms\n",
              took);
  EXPECT_LT(took, 10000);  // a quit that waited for the Delete's answer would take 30 s
  EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
  EXPECT_FALSE(ox::keychainPassword(service, account).has_value());
  standIn.clear();
}
