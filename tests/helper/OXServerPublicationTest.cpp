#include "helper/OXServer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include "tests/helper/ServerFixture.h"
#include "tests/support/TestUtil.h"

namespace {

// A system bus and an Avahi daemon of the test's own, on the loopback interface. The daemon wants root (its pid
// file lives in /run) and a multicast-capable interface; where either is missing, `why` says so.
class PrivateAvahi {
 public:
  PrivateAvahi() { why = setUp(); }
  ~PrivateAvahi() {
    for (QProcess* p : {daemon.get(), bus.get()})
      if (p && p->state() != QProcess::NotRunning) {
        p->terminate();
        if (!p->waitForFinished(5000)) p->kill(), p->waitForFinished();
      }
  }

  QByteArray browse() {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start("avahi-browse", {"-t", "-r", "-p", "_ombrixhelper._tcp"});
    p.waitForFinished(10000);
    return p.readAllStandardOutput();
  }

  QTemporaryDir dir;
  QString address, why;
  QProcessEnvironment env;
  std::unique_ptr<QProcess> bus, daemon;

 private:
  QString setUp() {
    for (const char* tool : {"dbus-daemon", "avahi-daemon", "avahi-browse"})
      if (QStandardPaths::findExecutable(tool, {"/usr/bin", "/usr/sbin", "/bin", "/sbin"}).isEmpty())
        return QStringLiteral("%1 is not installed").arg(tool);
    if (::geteuid() != 0) return QStringLiteral("avahi-daemon runs only as root");
    address = "unix:path=" + dir.filePath("bus");
    write("bus.conf", "<busconfig><type>system</type><listen>" + address.toUtf8() +
                          "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                          "<allow own=\"*\"/><allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                          "</policy></busconfig>\n");
    write("avahi.conf", "[server]\nuse-ipv4=yes\nuse-ipv6=no\nallow-interfaces=lo\nenable-dbus=yes\n"
                        "[publish]\npublish-workstation=no\n");
    env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", address);
    bus = start("dbus-daemon", {"--nofork", "--config-file=" + dir.filePath("bus.conf")});
    if (!oxtest::spinUntil([&] { return QFile::exists(dir.filePath("bus")); }, 5000))
      return QStringLiteral("the private system bus did not start");
    daemon = start("avahi-daemon",
          {"-f", dir.filePath("avahi.conf"), "--no-drop-root", "--no-chroot", "--no-rlimits", "--no-proc-title"});
    oxtest::spinUntil([&] { return output().contains("startup complete") || daemon->state() != QProcess::Running; },
                      10000);
    if (!output().contains("startup complete"))
      return "avahi-daemon did not start: " + QString::fromUtf8(output().trimmed().split('\n').last());
    if (!output().contains("New relevant interface"))
      return QStringLiteral("no multicast-capable loopback interface for avahi-daemon");
    return {};
  }
  void write(const QString& name, const QByteArray& text) {
    QFile f(dir.filePath(name));
    if (f.open(QIODevice::WriteOnly)) f.write(text);
  }
  // From a throw-away thread: the vfork-style spawn would leave the sanitizer's view of this thread's locks damaged.
  std::unique_ptr<QProcess> start(const QString& program, const QStringList& args) {
    std::unique_ptr<QProcess> p;
    QThread* const here = QThread::currentThread();
    std::unique_ptr<QThread> spawner(QThread::create([&] {
      p = std::make_unique<QProcess>();
      p->setProcessEnvironment(env);
      p->setProcessChannelMode(QProcess::MergedChannels);
      p->start(program, args);
      p->waitForStarted();
      p->moveToThread(here);
    }));
    spawner->start();
    spawner->wait();
    return p;
  }
  QByteArray output() {
    log += daemon->readAll();
    return log;
  }
  QByteArray log;
};

class Recorder final : public ox::NetServiceDelegate {
 public:
  void netServiceDidNotPublish(ox::NetService&, const QString& error) override { failure = error; }
  QString failure;
};

}  // namespace

TEST(OXServerPublication, TheStartedServerIsBrowsedOnTheLocalNetwork) {
  PrivateAvahi avahi;
  if (!avahi.why.isEmpty()) GTEST_SKIP() << avahi.why.toStdString();
  const QByteArray noBus = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
  qputenv("DBUS_SYSTEM_BUS_ADDRESS", avahi.address.toUtf8());
  servertest::ServedLibrary served(true);
  ASSERT_NE(served.server->service(), nullptr);
  EXPECT_TRUE(oxtest::spinUntil([&] { return served.server->service()->isPublished(); }, 10000));
  const QByteArray listing = avahi.browse();
  EXPECT_TRUE(listing.contains(";_ombrixhelper._tcp;local;")) << listing.constData();
  EXPECT_TRUE(listing.contains(";" + QByteArray::number(served.server->port()) + ";")) << listing.constData();
  qputenv("DBUS_SYSTEM_BUS_ADDRESS", noBus);
}

TEST(OXServerPublication, WithoutADaemonTheServerRunsUnpublished) {
  servertest::ServedLibrary served(true);
  EXPECT_TRUE(served.server->isRunning());
  EXPECT_EQ(served.get("/hello").body, "Hello!");
  ASSERT_NE(served.server->service(), nullptr);
  EXPECT_FALSE(served.server->service()->isPublished());

  Recorder recorder;
  ox::NetService service({}, "_ombrixhelper._tcp.", {}, 5050);
  service.setDelegate(&recorder);
  service.publish();
  EXPECT_FALSE(recorder.failure.isEmpty());
}
