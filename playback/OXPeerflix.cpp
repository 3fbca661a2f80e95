#include "playback/OXPeerflix.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "platform/foundation/Info.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainQueue.h"
#include "platform/media/VLCMediaPlayer.h"
#include "playback/OXPeerflixOutput.h"

#if defined(__SANITIZE_THREAD__)
#define OX_PEERFLIX_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define OX_PEERFLIX_TSAN 1
#endif
#endif

using namespace ox;

namespace {

// How long a child is given to end on its own before it is killed, and then to be gone.
constexpr int kGraceMs = 1000;
constexpr std::size_t kChunk = 65536;

const QString kScriptBelowFolder = QStringLiteral("peerflix/node_modules/peerflix/app.js");

// Children are waited for (and killed when they do not end) here, away from the main thread, which a child that
// ignores SIGTERM would otherwise hold for seconds. Process-wide, so a driver may go before its child has; at exit the
// queue waits for them. Room for more stopped streams than anyone starts at once, so none waits its turn.
OperationQueue& reaper() {
  static OperationQueue queue(16);
  return queue;
}

void registerOverrides() {
  static std::once_flag once;
  std::call_once(once, [] {
    registerInfoEnvironmentOverride(QStringLiteral("OXNodePath"), QStringLiteral("OMBRIX_NODE"));
    registerInfoEnvironmentOverride(QStringLiteral("OXPeerflixScript"), QStringLiteral("OMBRIX_PEERFLIX_SCRIPT"));
  });
}

}  // namespace

// The reading end of the child's output and the flags the reader shares with the main thread. Kept by both; the
// descriptors close when the last one lets go.
struct OXPeerflix::Channel {
  int readFd = -1;
  int wakeRead = -1;
  int wakeWrite = -1;
  std::atomic<bool> stopped{false};
  std::atomic<bool> vlcIsAllocated{false};
  std::atomic<bool> launched{false};

  ~Channel() {
    for (int fd : {readFd, wakeRead, wakeWrite})
      if (fd >= 0) ::close(fd);
  }
  // Ends a read waiting for output.
  void wake() const {
    const char byte = 1;
    if (wakeWrite < 0) return;
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &byte, 1);
  }
};

QString OXPeerflix::nodePath() {
  registerOverrides();
  const QString configured = infoValue(QStringLiteral("OXNodePath")).toString();
  if (!configured.isEmpty()) return configured;
  for (const char* name : {"node", "nodejs"})
    if (QString found = QStandardPaths::findExecutable(QString::fromLatin1(name)); !found.isEmpty()) return found;
  return QStringLiteral("node");
}

QString OXPeerflix::scriptPath() {
  registerOverrides();
  const QString configured = infoValue(QStringLiteral("OXPeerflixScript")).toString();
  if (!configured.isEmpty()) return configured;
  const QString exe = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
  // The build tree keeps it beside or above the program; an installed tree in PREFIX/share/ombrix.
  for (const QString& folder : {exe, exe + QStringLiteral("/.."), exe + QStringLiteral("/../.."),
                                exe + QStringLiteral("/../share/ombrix")}) {
    if (QFileInfo candidate(QDir(QDir::cleanPath(folder)).filePath(kScriptBelowFolder)); candidate.isFile())
      return candidate.absoluteFilePath();
  }
  return QDir(exe).filePath(kScriptBelowFolder);
}

std::shared_ptr<OXPeerflix> OXPeerflix::initWithMagnetLink(const QString& magnetLink) {
  std::shared_ptr<OXPeerflix> driver(new OXPeerflix);
  driver->magnetLink_ = magnetLink;
  driver->launch();
  return driver;
}

void OXPeerflix::launch() {
  std::weak_ptr<OXPeerflix> weak = weak_from_this();
  auto failLater = [weak] {
    dispatchMain([weak] {
      if (auto self = weak.lock()) self->fail();
    });
  };
  pipe_ = std::make_shared<Channel>();
  int out[2], wake[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    log(QStringLiteral("OXPeerflix: no pipe for the child's output"));
    failLater();
    return;
  }
  if (::pipe2(wake, O_CLOEXEC) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    log(QStringLiteral("OXPeerflix: no pipe for the child's output"));
    failLater();
    return;
  }
  pipe_->readFd = out[0];
  pipe_->wakeRead = wake[0];
  pipe_->wakeWrite = wake[1];

  const int writeEnd = out[1];
  auto spawn = [&] {
    task_ = std::make_unique<QProcess>();
    task_->setProgram(nodePath());
    // peerflix reads its options up to "--": past it, a link that begins with "-" is still the torrent.
    task_->setArguments({scriptPath(), QStringLiteral("--"), magnetLink_});
    // Standard error stays the program's own; standard output goes to our pipe, read off the main thread.
    task_->setProcessChannelMode(QProcess::ForwardedChannels);
    task_->setChildProcessModifier([writeEnd] { ::dup2(writeEnd, STDOUT_FILENO); });
    QObject::connect(task_.get(), &QProcess::errorOccurred, task_.get(), [failLater](QProcess::ProcessError error) {
      if (error == QProcess::FailedToStart) failLater();
    });
    task_->start();
  };
#ifdef OX_PEERFLIX_TSAN
  // QProcess forks with a vfork-style clone of the calling thread, after which ThreadSanitizer has lost that
  // thread's locks for good and reads every later hand-over through a lock as a race: a throw-away thread spawns.
  QThread* const home = QThread::currentThread();
  std::unique_ptr<QThread> spawner(QThread::create([&] {
    spawn();
    task_->moveToThread(home);
  }));
  spawner->start();
  spawner->wait();
#else
  spawn();
#endif
  // The child holds the only writing end now: its exit ends the output.
  ::close(writeEnd);
  pipe_->launched = true;

  queue_ = std::make_unique<OperationQueue>(1);
  queue_->addOperationWithBlock([channel = pipe_, weak] { feetchingPeers(channel, weak); });
}

void OXPeerflix::feetchingPeers(const std::shared_ptr<Channel>& channel, std::weak_ptr<OXPeerflix> driver) {
  OXPeerflixOutput output;
  std::vector<char> buffer(kChunk);
  for (;;) {
    pollfd fds[2] = {{channel->readFd, POLLIN, 0}, {channel->wakeRead, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents != 0) return;  // stopped: nothing more is told
    if (fds[0].revents == 0) continue;
    const ssize_t got = ::read(channel->readFd, buffer.data(), buffer.size());
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) break;
    // Once the address is out the rest is only drained, so the child never waits on a full pipe.
    if (channel->stopped || channel->vlcIsAllocated) continue;
    const OXPeerflixOutput::Reading reading = output.feed(QByteArrayView(buffer.data(), got));
    if (reading.isEmpty()) continue;
    if (!reading.address.isNull()) channel->vlcIsAllocated = true;
    dispatchMain([driver, reading] {
      auto self = driver.lock();
      if (!self) return;
      if (!reading.address.isNull()) self->announce(reading.address);
      self->showStatus(reading.peers, reading.buffering);
    });
  }
  // The end of the output: the child is gone (or closed it) and said no address.
  dispatchMain([driver] {
    if (auto self = driver.lock()) self->fail();
  });
}

void OXPeerflix::showStatus(const QString& peers, const QString& buffering) {
  if (!pipe_ || pipe_->stopped) return;
  auto layer = textLayer_.lock();
  if (!layer) return;
  // A marker whose figure is missing leaves the text as it was.
  if (!peers.isNull()) {
    layer->setString(QCoreApplication::translate("OXPeerflix", "Connected to %1 peers").arg(peers));
    layer->setForegroundColor(Qt::white);
  } else if (!buffering.isNull()) {
    layer->setString(QCoreApplication::translate("OXPeerflix", "Buffering : %1").arg(buffering));
    layer->setForegroundColor(Qt::white);
  }
}

void OXPeerflix::announce(const QString& address) {
  if (!pipe_ || pipe_->stopped) return;
  if (auto delegate = delegate_.lock()) delegate->streamingDidStart(address);
  if (pipe_->stopped || timeObserver_ != 0) return;  // the delegate may stop at once
  std::weak_ptr<OXPeerflix> weak = weak_from_this();
  timeObserver_ = NotificationCenter::defaultCenter().addObserver(
      QString::fromLatin1(VLCMediaPlayerTimeChanged), nullptr, [weak](const Notification& n) {
        if (auto self = weak.lock()) self->vlcTimeChange(n);
      });
}

void OXPeerflix::vlcTimeChange(const Notification&) {
  if (timeObserver_ == 0) return;
  NotificationCenter::defaultCenter().removeObserver(timeObserver_);
  timeObserver_ = 0;
}

void OXPeerflix::fail() {
  if (failed_ || !pipe_ || pipe_->stopped || pipe_->vlcIsAllocated) return;
  failed_ = true;
  log(QStringLiteral("OXPeerflix: the stream did not start (%1)").arg(nodePath()));
  if (auto delegate = delegate_.lock()) delegate->failureStreaming();
}

void OXPeerflix::endChild() {
  if (!task_) return;
  QObject::disconnect(task_.get(), nullptr, nullptr, nullptr);
  if (task_->state() == QProcess::NotRunning) {
    task_.reset();
    return;
  }
  task_->terminate();
  // A QProcess waits only on its own thread: it leaves this one for none, and the reaper's thread takes it up.
  task_->moveToThread(nullptr);
  reaper().addOperationWithBlock([child = std::shared_ptr<QProcess>(task_.release())]() mutable {
    child->moveToThread(QThread::currentThread());
    if (!child->waitForFinished(kGraceMs)) {
      child->kill();
      child->waitForFinished(kGraceMs);
    }
    child.reset();  // on the thread it now belongs to
  });
}

void OXPeerflix::stop() {
  if (pipe_) pipe_->stopped = true;
  endChild();
  if (pipe_) pipe_->wake();
}

OXPeerflix::~OXPeerflix() {
  if (timeObserver_ != 0) NotificationCenter::defaultCenter().removeObserver(timeObserver_);
  stop();
  // Waits for the reader, which the stop has woken.
  queue_.reset();
}

qint64 OXPeerflix::processId() const {
  return task_ && task_->state() != QProcess::NotRunning ? task_->processId() : 0;
}

bool OXPeerflix::vlcIsAllocated() const { return pipe_ && pipe_->vlcIsAllocated; }

bool OXPeerflix::needRepeat() const {
  return pipe_ && pipe_->launched && !pipe_->stopped && !pipe_->vlcIsAllocated && !failed_;
}
