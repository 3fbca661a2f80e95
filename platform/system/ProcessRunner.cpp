#include "platform/system/ProcessRunner.h"

#include <QProcess>

#include "platform/foundation/Log.h"

namespace ox {

int runProcess(const QString& program, const QStringList& arguments, int timeoutMs) {
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.setStandardOutputFile(QProcess::nullDevice());
  child.start(program, arguments);
  if (!child.waitForStarted(timeoutMs)) return -1;
  if (!child.waitForFinished(timeoutMs)) {
    log(QStringLiteral("%1 overran %2 ms and was stopped").arg(program).arg(timeoutMs));
    child.kill();
    child.waitForFinished(1000);
    return -1;
  }
  return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

}  // namespace ox
