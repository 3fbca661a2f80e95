#include "tests/support/StandIn.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <algorithm>

#include "tests/support/TestUtil.h"

namespace oxtest {

namespace {

// One JSON line from the child's standard output, waiting at most until the deadline.
QVariantMap readAnswer(QProcess& p, QDeadlineTimer deadline) {
  while (!p.canReadLine()) {
    if (deadline.hasExpired() || p.state() != QProcess::Running) return {};
    p.waitForReadyRead(static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 1, 200)));
  }
  return QJsonDocument::fromJson(p.readLine()).object().toVariantMap();
}

}  // namespace

StandIn::StandIn() = default;

StandIn::~StandIn() { stop(); }

bool StandIn::start(const QStringList& extraArgs, int timeoutMs) {
  stop();
  // The system's interpreter when there is one: a version-manager shim on the path can add seconds per start.
  const QString python = QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                                           : QStringLiteral("python3");
  const QStringList args =
      QStringList{sourcePath(QStringLiteral("tests/standin/standin.py")), QStringLiteral("--exit-on-eof")} + extraArgs;
  const bool started = startProcess(process_, python, args, {}, timeoutMs);
  if (!started) {
    process_.reset();
    return false;
  }
  ready_ = readAnswer(*process_, QDeadlineTimer(timeoutMs));
  if (ready_.value(QStringLiteral("services")).toMap().isEmpty()) {
    stop();
    return false;
  }
  const QVariantMap env = environment();
  for (auto it = env.begin(); it != env.end(); ++it) qputenv(it.key().toUtf8().constData(), it.value().toByteArray());
  return true;
}

void StandIn::stop() {
  if (!process_) return;
  if (process_->state() != QProcess::NotRunning) {
    process_->closeWriteChannel();  // the program stops when its standard input closes
    if (!process_->waitForFinished(3000)) {
      process_->kill();
      process_->waitForFinished(3000);
    }
  }
  process_.reset();
  ready_.clear();
}

bool StandIn::isRunning() const { return process_ && process_->state() == QProcess::Running; }

QString StandIn::baseUrl(const QString& service) const {
  return ready_.value(QStringLiteral("services")).toMap().value(service).toString();
}

QVariantMap StandIn::environment() const { return ready_.value(QStringLiteral("env")).toMap(); }

QVariantMap StandIn::command(const QVariantMap& cmd) const {
  if (!isRunning()) return {};
  process_->write(QJsonDocument(QJsonObject::fromVariantMap(cmd)).toJson(QJsonDocument::Compact) + '\n');
  process_->waitForBytesWritten(5000);
  return readAnswer(*process_, QDeadlineTimer(10000));
}

QVariantList StandIn::requests(const QString& service) const {
  QVariantMap cmd{{QStringLiteral("cmd"), QStringLiteral("requests")}};
  if (!service.isEmpty()) cmd.insert(QStringLiteral("service"), service);
  return command(cmd).value(QStringLiteral("requests")).toList();
}

QVariantList StandIn::waitForRequests(const QString& service, int count, int timeoutMs) const {
  QVariantList seen;
  spinUntil(
      [&] {
        seen = requests(service);
        return seen.size() >= count;
      },
      timeoutMs);
  return seen;
}

bool StandIn::fault(const QString& service, const QString& kind, int count, const QString& pathPart,
                    double seconds) {
  return command({{QStringLiteral("cmd"), QStringLiteral("fault")},
                  {QStringLiteral("service"), service},
                  {QStringLiteral("kind"), kind},
                  {QStringLiteral("count"), count},
                  {QStringLiteral("path"), pathPart},
                  {QStringLiteral("seconds"), seconds}})
      .value(QStringLiteral("ok"))
      .toBool();
}

bool StandIn::answer(const QString& service, int status, const QByteArray& body, int count, const QString& pathPart,
                     const QString& contentType) {
  return command({{QStringLiteral("cmd"), QStringLiteral("fault")},
                  {QStringLiteral("service"), service},
                  {QStringLiteral("kind"), QStringLiteral("answer")},
                  {QStringLiteral("count"), count},
                  {QStringLiteral("path"), pathPart},
                  {QStringLiteral("status"), status},
                  {QStringLiteral("body"), QString::fromUtf8(body)},
                  {QStringLiteral("contentType"), contentType}})
      .value(QStringLiteral("ok"))
      .toBool();
}

bool StandIn::clear() {
  return command({{QStringLiteral("cmd"), QStringLiteral("clear")}}).value(QStringLiteral("ok")).toBool();
}

namespace {
StandIn* sharedInstance = nullptr;
void stopShared() {
  delete sharedInstance;
  sharedInstance = nullptr;
}
}  // namespace

StandIn& StandIn::shared() {
  if (!sharedInstance) {
    sharedInstance = new StandIn;
    sharedInstance->start();
    qAddPostRoutine(stopShared);
  }
  return *sharedInstance;
}

}  // namespace oxtest
