// The torrent stream driver against the stand-in peerflix script run by node, and its reading of terminal output.
#include "playback/OXPeerflix.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <signal.h>

#include <cerrno>
#include <cstring>

#include "playback/OXPeerflixOutput.h"
#include "tests/support/TestUtil.h"

using namespace ox;

namespace {

// What a driver told its view, and on which thread.
struct View : OXPeerflixDelegate {
  QStringList addresses;
  int failures = 0;
  bool offMain = false;
  std::function<void()> onStart;
  void streamingDidStart(const QString& address) override {
    offMain = offMain || QThread::currentThread() != QCoreApplication::instance()->thread();
    addresses << address;
    if (onStart) onStart();
  }
  void failureStreaming() override {
    offMain = offMain || QThread::currentThread() != QCoreApplication::instance()->thread();
    ++failures;
  }
};

bool gone(qint64 pid) { return pid > 0 && ::kill(pid_t(pid), 0) == -1 && errno == ESRCH; }

// A driver of the stand-in script, whose screens the test plays one step at a time.
class Stream : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable("node").isEmpty()) GTEST_SKIP() << "node is not installed";
    ASSERT_TRUE(dir_.isValid());
    steps_ = dir_.filePath("steps");
    qputenv("OMBRIX_PEERFLIX_SCRIPT", QByteArray(OX_SOURCE_DIR "/tests/standin/peerflix.js"));
    qputenv("OX_PEERFLIX_STANDIN_STEPS", steps_.toLocal8Bit());
    qunsetenv("OMBRIX_NODE");
    text_->setString("Loading...");
  }
  void TearDown() override {
    qunsetenv("OMBRIX_PEERFLIX_SCRIPT");
    qunsetenv("OX_PEERFLIX_STANDIN_STEPS");
    qunsetenv("OMBRIX_NODE");
  }
  std::shared_ptr<OXPeerflix> start() {
    auto driver = OXPeerflix::initWithMagnetLink("magnet:?xt=urn:btih:0123456789abcdef&dn=Lantern+Street");
    driver->setDelegate(view_);
    driver->setTextLayer(text_);
    return driver;
  }
  void step(const QString& line) {
    QFile f(steps_);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write(line.toUtf8() + "\n");
  }
  bool shows(const QString& text, int ms = 10000) {
    return oxtest::spinUntil([&] { return text_->string() == text; }, ms);
  }
  QString path(const QString& name) const { return dir_.filePath(name); }

  QTemporaryDir dir_;
  QString steps_;
  std::shared_ptr<View> view_ = std::make_shared<View>();
  std::shared_ptr<TextLayer> text_ = TextLayer::layer();
};

OXPeerflixOutput::Reading feedAll(OXPeerflixOutput& out, const QByteArray& bytes, qsizetype piece) {
  OXPeerflixOutput::Reading last;
  for (qsizetype at = 0; at < bytes.size(); at += piece) {
    const OXPeerflixOutput::Reading r = out.feed(QByteArrayView(bytes.mid(at, piece)));
    if (!r.peers.isNull()) last.peers = r.peers;
    if (!r.buffering.isNull()) last.buffering = r.buffering;
    if (!r.address.isNull()) {
      EXPECT_TRUE(last.address.isNull()) << "the address twice";
      last.address = r.address;
    }
  }
  return last;
}

}  // namespace

TEST(OXPeerflixOutput, ScreensReadTheSameWhateverTheChunksAndBytes) {
  // A peerflix session as it reaches the pipe: colours, screen clears, a name in UTF-8, a stray invalid byte.
  const QByteArray session =
      "\x1b[H\x1b[2J\x1b[32mfetching torrent metadata from\x1b[39m \x1b[1m12\x1b[22m \x1b[32mpeers\x1b[39m\n"
      "\x1b[H\x1b[2J\x1b[33minfo\x1b[39m \x1b[32mstreaming\x1b[39m \x1b[1mNi\xc3\xb1os - Caf\xc3\xa9 from Rio.mkv\xff"
      " (1 GB)\x1b[22m \x1b[32m-\x1b[39m \x1b[1m1.5 MB/s\x1b[22m \x1b[32mfrom\x1b[39m \x1b[1m3/7\x1b[22m peers\n"
      "\x1b]0;peerflix\x07\x1b[H\x1b[2J\x1b[32mopen\x1b[39m \x1b[1mvlc\x1b[39m \x1b[32mand enter\x1b[39m "
      "\x1b[1mhttp://192.168.1.20:8888/\x1b[22m \x1b[32mas the network address\x1b[39m\n";
  for (qsizetype piece : {qsizetype(1), qsizetype(2), qsizetype(7), qsizetype(64), session.size()}) {
    OXPeerflixOutput out;
    const OXPeerflixOutput::Reading r = feedAll(out, session, piece);
    EXPECT_EQ(r.peers, "12") << piece;
    EXPECT_EQ(r.buffering, "1.5 MB/s") << piece;  // not the dashes and "from" of the file name
    EXPECT_EQ(r.address, "http://192.168.1.20:8888") << piece;
  }
  // A figure is read only once its closing text is there: "1" of "12" is never taken for the count.
  OXPeerflixOutput out;
  EXPECT_TRUE(out.feed("\x1b[2Jfetching torrent metadata from 1").peers.isNull());
  EXPECT_EQ(out.feed("2 peers").peers, "12");  // still on the line being written
  EXPECT_TRUE(out.feed("open vlc and enter http://127.0.0.1:8888").address.isNull());
  EXPECT_EQ(out.feed("/\n").address, "http://127.0.0.1:8888");  // a finished line ends the address too
  EXPECT_TRUE(out.feed("\x1b[Hopen vlc and enter http://127.0.0.1:9999/ as\n").address.isNull());  // once only
  EXPECT_TRUE(OXPeerflixOutput::peersIn("fetching torrent metadata from  peers").isNull());
  EXPECT_TRUE(OXPeerflixOutput::addressIn("open vlc and enter / ", true).isNull());
  EXPECT_TRUE(out.feed("\x1b[H\x1b[2J\x1b[1m\x1b[22m").isEmpty());
}

TEST_F(Stream, PeersThenBufferingThenTheAddressOnceWhileTheOutputKeepsFlowing) {
  auto driver = start();
  EXPECT_GT(driver->processId(), 0);
  EXPECT_TRUE(driver->needRepeat());
  step("peers 0");
  ASSERT_TRUE(shows("Connected to 0 peers"));
  EXPECT_EQ(text_->foregroundColor(), QColor(Qt::white));
  step("peers 3");
  ASSERT_TRUE(shows("Connected to 3 peers"));
  step("stream 1.5 MB/s");
  ASSERT_TRUE(shows("Buffering : 1.5 MB/s"));
  // A screen whose figure is missing leaves the last text.
  step("peers");
  step("address http://127.0.0.1:8888/");
  ASSERT_TRUE(oxtest::spinUntil([&] { return !view_->addresses.isEmpty(); }, 10000));
  EXPECT_EQ(view_->addresses, QStringList{"http://127.0.0.1:8888"});
  EXPECT_EQ(text_->string(), "Buffering : 1.5 MB/s");
  EXPECT_TRUE(driver->vlcIsAllocated());
  EXPECT_FALSE(driver->needRepeat());

  // Far more than a pipe holds: the child gets it all out only while the driver keeps reading.
  step("address http://127.0.0.1:9999/");
  step("flood 2000000 " + path("drained"));
  ASSERT_TRUE(oxtest::spinUntil([&] { return QFile::exists(path("drained")); }, 20000));
  oxtest::spinFor(100);
  EXPECT_EQ(view_->addresses.size(), 1);
  EXPECT_EQ(text_->string(), "Buffering : 1.5 MB/s");  // nothing more is shown after the address
  EXPECT_EQ(view_->failures, 0);
  EXPECT_FALSE(view_->offMain);
}

TEST_F(Stream, AChildThatEndsOrNeverStartsFailsOnce) {
  auto driver = start();
  const qint64 pid = driver->processId();
  step("peers 2");
  ASSERT_TRUE(shows("Connected to 2 peers"));
  step("exit 3");
  ASSERT_TRUE(oxtest::spinUntil([&] { return view_->failures > 0 && driver->processId() == 0; }, 10000));
  oxtest::spinFor(100);
  EXPECT_EQ(view_->failures, 1);
  EXPECT_TRUE(view_->addresses.isEmpty());
  EXPECT_FALSE(driver->needRepeat());
  EXPECT_TRUE(gone(pid));
  driver->stop();
  EXPECT_EQ(view_->failures, 1);

  qputenv("OMBRIX_NODE", QByteArray(path("no-node-here").toLocal8Bit()));
  auto broken = start();  // the delegate is set after the start and still hears of it
  ASSERT_TRUE(oxtest::spinUntil([&] { return view_->failures == 2; }, 10000));
  oxtest::spinFor(100);
  EXPECT_EQ(view_->failures, 2);
  EXPECT_EQ(broken->processId(), 0);
  EXPECT_FALSE(view_->offMain);
}

// peerflix takes what begins with "-" for an option, up to a "--": the link is its torrent whatever it begins with.
TEST_F(Stream, TheLinkIsPeerflixsTorrentEvenWhenItBeginsWithADash) {
  for (const char* link : {"magnet:?xt=urn:btih:0123456789abcdef", "-l", "--version"}) {
    SCOPED_TRACE(link);
    QFile::remove(steps_);
    QFile torrent(path(QString::number(qHash(QByteArray(link)))));
    auto driver = OXPeerflix::initWithMagnetLink(QString::fromUtf8(link));
    driver->setDelegate(view_);
    step("torrent " + torrent.fileName());
    ASSERT_TRUE(oxtest::spinUntil([&] { return torrent.size() == qint64(strlen(link)) || view_->failures; }, 10000));
    ASSERT_TRUE(torrent.open(QIODevice::ReadOnly));
    EXPECT_EQ(torrent.readAll(), link);
    driver->stop();
  }
}

TEST_F(Stream, StopAndTheDriversEndLeaveNoChildBehind) {
  // Stopped before any output: the child ends, nothing more is told or shown.
  auto quiet = start();
  const qint64 quietPid = quiet->processId();
  ASSERT_GT(quietPid, 0);
  quiet->stop();
  EXPECT_EQ(quiet->processId(), 0);
  EXPECT_TRUE(oxtest::spinUntil([&] { return gone(quietPid); }, 5000));
  step("peers 9");
  oxtest::spinFor(200);
  EXPECT_EQ(text_->string(), "Loading...");
  EXPECT_EQ(view_->failures, 0);
  quiet.reset();

  // A child that will not terminate is killed when its driver goes, also while the delegate is told the address.
  QFile::remove(steps_);
  auto stubborn = start();
  const qint64 pid = stubborn->processId();
  step("ignore-term");
  step("address http://127.0.0.1:8890/");
  view_->onStart = [&] { stubborn.reset(); };  // as a view drops the driver from its callback
  ASSERT_TRUE(oxtest::spinUntil([&] { return !stubborn; }, 10000));
  EXPECT_TRUE(oxtest::spinUntil([&] { return gone(pid); }, 5000));
  EXPECT_EQ(view_->addresses, QStringList{"http://127.0.0.1:8890"});
  EXPECT_EQ(view_->failures, 0);
}

TEST_F(Stream, StoppingAChildThatIgnoresTerminationLeavesTheMainThreadFree) {
  auto driver = start();
  const qint64 pid = driver->processId();
  ASSERT_GT(pid, 0);
  step("ignore-term");
  step("peers 1");  // played after the one before: SIGTERM is ignored from here on
  ASSERT_TRUE(shows("Connected to 1 peers"));

  int turns = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++turns; });
  ticker.start(20);
  driver->stop();
  // Stop came back while the child still ran: the wait for it happens elsewhere, and the main loop goes on turning.
  EXPECT_FALSE(gone(pid));
  EXPECT_EQ(driver->processId(), 0);
  ASSERT_TRUE(oxtest::spinUntil([&] { return gone(pid); }, 10000));
  EXPECT_GE(turns, 5);
  driver.reset();
  EXPECT_EQ(view_->failures, 0);
}
