#include "tests/support/TestUtil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#if defined(__SANITIZE_THREAD__)
#define OX_TESTUTIL_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define OX_TESTUTIL_TSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define OX_TESTUTIL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OX_TESTUTIL_ASAN 1
#endif
#endif
#ifdef OX_TESTUTIL_ASAN
#include <dlfcn.h>
extern "C" void __asan_init();
#endif

namespace oxtest {

bool spinUntil(const std::function<bool()>& pred, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!pred()) {
    if (deadline.hasExpired()) return pred();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return true;
}

void spinFor(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
}

qint64 msTakenBy(const std::function<void()>& work) {
  QElapsedTimer t;
  t.start();
  work();
  return t.elapsed();
}

QString sourcePath(const QString& relative) { return QStringLiteral(OX_SOURCE_DIR "/") + relative; }

int runPython(const QString& script, const QStringList& args, QByteArray* out, QByteArray* err, int timeoutMs) {
  QProcess p;
  p.start(QStringLiteral("python3"), QStringList{script} + args);
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
    return -1;
  }
  if (out) *out = p.readAllStandardOutput();
  if (err) *err = p.readAllStandardError();
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QProcessEnvironment programEnvironment() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("TSAN_OPTIONS", env.value("TSAN_OPTIONS") + ":ignore_noninstrumented_modules=1:die_after_fork=0");
  return env;
}

void keepLibpixmanLoaded(QProcessEnvironment& env) {
#ifdef OX_TESTUTIL_ASAN
  // As test_main.cpp does for the test processes: a program of ours that releases libvlc keeps libpixman loaded, so
  // the tables of its load-time set-up are not left to the leak check. The sanitizer's runtime must come first.
  Dl_info runtime = {};
  if (dladdr(reinterpret_cast<void*>(&__asan_init), &runtime) && runtime.dli_fname) {
    const QString preload = env.value("LD_PRELOAD");
    env.insert("LD_PRELOAD", QFile::decodeName(runtime.dli_fname) + QStringLiteral(":libpixman-1.so.0") +
                                 (preload.isEmpty() ? QString() : ":" + preload));
  }
#else
  (void)env;
#endif
}

bool startProcess(std::unique_ptr<QProcess>& process, const QString& program, const QStringList& args,
                  const QProcessEnvironment& environment, int timeoutMs) {
  bool started = false;
  auto launch = [&] {
    process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setReadChannel(QProcess::StandardOutput);
    if (!environment.isEmpty()) process->setProcessEnvironment(environment);
    process->start(program, args);
    started = process->waitForStarted(timeoutMs);
  };
#ifdef OX_TESTUTIL_TSAN
  // QProcess spawns with a vfork-style clone: the sanitizer's fork bookkeeping then runs twice on the calling thread's
  // state (in the child, which shares it, and in the parent), leaving that thread's locks unseen for good, so every
  // later hand-over through a lock would be reported as a race. A throw-away thread takes that damage.
  QThread* const here = QThread::currentThread();
  std::unique_ptr<QThread> spawner(QThread::create([&] {
    launch();
    process->moveToThread(here);
  }));
  spawner->start();
  spawner->wait();
#else
  launch();
#endif
  return started;
}

qint64 peakResidentBytes(qint64 pid) {
  QFile status(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
  return 0;
}

}  // namespace oxtest
