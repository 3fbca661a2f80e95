#include "tests/support/TestUtil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

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

}  // namespace oxtest
