#include "platform/system/SoftwareUpdater.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>
#include <QTimer>
#include <QXmlStreamReader>
#include <utility>

#include "platform/foundation/HttpClient.h"
#include "platform/foundation/Info.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/XmlCheck.h"
#include "platform/system/Workspace.h"

namespace ox {

SoftwareUpdater& SoftwareUpdater::shared() {
  static SoftwareUpdater updater;
  return updater;
}

QUrl SoftwareUpdater::feedURL() const {
  return QUrl(infoValue(QStringLiteral("SUFeedURL")).toString().trimmed());
}

QString SoftwareUpdater::currentVersion() const { return infoValue(QStringLiteral("CFBundleVersion")).toString(); }

void SoftwareUpdater::setTimeouts(int connectMs, int totalMs) {
  connectTimeoutMs_ = connectMs;
  totalTimeoutMs_ = totalMs;
}

QByteArray SoftwareUpdater::fetchFeed() const {
  const QUrl url = feedURL();
  if (!url.isValid() || url.scheme().isEmpty()) return {};
  HttpRequest request;
  request.url = url;
  request.connectTimeoutMs = connectTimeoutMs_;
  request.totalTimeoutMs = totalTimeoutMs_;
  const HttpResponse response = httpPerform(request);
  if (!response.isSuccess()) {
    if (response.cancelled) return {};
    log(QStringLiteral("Update feed %1 not read: %2")
            .arg(url.toString(), response.transportOk ? QString::number(response.status) : response.error));
    return {};
  }
  // An enclosure carries up to nine (address, length, type, versions, signatures, system); 16 leave room.
  if (const QString refused = checkXml(response.body, 16); !refused.isEmpty()) {
    log(QStringLiteral("Update feed %1 not read: %2").arg(url.toString(), refused));
    return {};
  }
  return response.body;
}

QString SoftwareUpdater::versionInFeed(const QByteArray& feed) {
  static const QByteArray kAttribute = "sparkle:version=\"";
  const qsizetype start = feed.indexOf(kAttribute);
  if (start < 0) return {};
  const qsizetype from = start + kAttribute.size();
  const qsizetype end = feed.indexOf('"', from);
  return QString::fromUtf8(feed.mid(from, end < 0 ? -1 : end - from));
}

QUrl SoftwareUpdater::releasePageInFeed(const QByteArray& feed) {
  QXmlStreamReader xml(feed);
  // Names are matched as written. Qt's namespace processing would cost time quadratic in nested declarations.
  xml.setNamespaceProcessing(false);
  QUrl channelLink, itemLink, notesLink;
  bool inItem = false;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement()) {
      const QStringView name = xml.qualifiedName();
      if (name == u"item") {
        inItem = true;
      } else if (name == u"link") {
        const QUrl url(xml.readElementText().trimmed());
        if (inItem && itemLink.isEmpty()) itemLink = url;
        if (!inItem && channelLink.isEmpty()) channelLink = url;
      } else if (inItem && name == u"sparkle:releaseNotesLink" && notesLink.isEmpty()) {
        notesLink = QUrl(xml.readElementText().trimmed());
      }
    } else if (xml.isEndElement() && xml.qualifiedName() == u"item") {
      break;  // the first item is the one offered
    }
  }
  for (const QUrl& u : {itemLink, notesLink, channelLink})
    if (u.isValid() && !u.isEmpty() && (u.scheme() == "https" || u.scheme() == "http")) return u;
  return {};
}

int SoftwareUpdater::compareVersions(const QString& a, const QString& b) {
  static const QRegularExpression kComponent(QStringLiteral("^(\\d*)(.*)$"));
  const QStringList pa = a.trimmed().split(u'.'), pb = b.trimmed().split(u'.');
  for (qsizetype i = 0; i < std::max(pa.size(), pb.size()); ++i) {
    const auto ma = kComponent.match(i < pa.size() ? pa[i] : QString());
    const auto mb = kComponent.match(i < pb.size() ? pb[i] : QString());
    // Leading zeros carry no value; long digit runs compare by length first, so no number overflows.
    QString da = ma.captured(1), db = mb.captured(1);
    while (da.startsWith(u'0')) da.remove(0, 1);
    while (db.startsWith(u'0')) db.remove(0, 1);
    if (da.size() != db.size()) return da.size() < db.size() ? -1 : 1;
    if (const int c = da.compare(db); c != 0) return c < 0 ? -1 : 1;
    if (const int c = ma.captured(2).compare(mb.captured(2)); c != 0) return c < 0 ? -1 : 1;
  }
  return 0;
}

bool SoftwareUpdater::isNewer(const QString& feedVersion, const QString& currentVersion) {
  return !feedVersion.trimmed().isEmpty() && compareVersions(feedVersion, currentVersion) > 0;
}

namespace {

OperationQueue& checkQueue() {
  static OperationQueue* const queue = new OperationQueue(1);  // lives as long as the process
  return *queue;
}

// Cancelled when the program stops checking: ends the transfer of a check under way instead of waiting for its
// timeout, which would hold the program's exit.
const std::shared_ptr<HttpCancel>& checksCancel() {
  static const auto* const token = new std::shared_ptr<HttpCancel>(std::make_shared<HttpCancel>());
  return *token;
}

// What stopping waits at most for a check that was cancelled; its transfer ends within a tenth of a second.
constexpr int kStopWaitMs = 500;

void logNoUpdate(const SoftwareUpdater::CheckResult& result) {
  log(QStringLiteral("No update: the feed offers %1, this is %2")
          .arg(result.offeredVersion.isEmpty() ? QStringLiteral("nothing") : result.offeredVersion,
               result.currentVersion));
}

const QString kChecksKey = QStringLiteral("automaticallyChecksForUpdates");
const QString kDownloadsKey = QStringLiteral("automaticallyDownloadsUpdates");

}  // namespace

bool SoftwareUpdater::automaticallyChecksForUpdates() const {
  return UserDefaults::value(kChecksKey, false).toBool();
}
void SoftwareUpdater::setAutomaticallyChecksForUpdates(bool on) { UserDefaults::setValue(kChecksKey, on); }
bool SoftwareUpdater::automaticallyDownloadsUpdates() const {
  return UserDefaults::value(kDownloadsKey, false).toBool();
}
void SoftwareUpdater::setAutomaticallyDownloadsUpdates(bool on) { UserDefaults::setValue(kDownloadsKey, on); }

void SoftwareUpdater::stopChecking() {
  stopAutomaticChecks();
  checksCancel()->cancel();
  checkQueue().cancelAllOperations();
  // A check that does not end in time is left to end on its own: its queue lives as long as the process.
  if (checkQueue().waitUntilAllOperationsAreFinished(kStopWaitMs)) checkQueue().close();
}

SoftwareUpdater::CheckResult SoftwareUpdater::readFeed() const {
  CheckResult result;
  result.currentVersion = currentVersion();
  const QByteArray feed = fetchFeed();
  result.offeredVersion = versionInFeed(feed);
  if (result.offeredVersion.trimmed().isEmpty()) {
    result.offeredVersion.clear();
    return result;
  }
  if (!isNewer(result.offeredVersion, result.currentVersion)) {
    result.outcome = CheckResult::Outcome::UpToDate;
    return result;
  }
  result.outcome = CheckResult::Outcome::NewerVersion;
  result.releasePage = releasePageInFeed(feed);
  return result;
}

void SoftwareUpdater::checkForUpdates(Answer answer) {
  checkQueue().addOperationWithBlock([this, answer = std::move(answer)] {
    HttpCancelScope scope(checksCancel());
    const CheckResult result = readFeed();
    if (HttpCancelScope::isCancelled()) return;  // the program is on its way out: nobody is told
    dispatchMain([answer, result] {
      if (answer) answer(result);
    });
  });
}

void SoftwareUpdater::checkForUpdates() {
  checkForUpdates([](const CheckResult& result) {
    if (result.outcome != CheckResult::Outcome::NewerVersion) {
      logNoUpdate(result);
    } else if (result.releasePage.isEmpty()) {
      log(QStringLiteral("Update %1 offered without a release page").arg(result.offeredVersion));
    } else {
      Workspace::shared().openURL(result.releasePage);
    }
  });
}

void SoftwareUpdater::checkForUpdatesOrJoin(Answer answer) {
  joined_.push_back(std::move(answer));
  if (joined_.size() > 1) return;
  checkForUpdates([this](const CheckResult& result) {
    for (const Answer& a : std::exchange(joined_, {}))
      if (a) a(result);
  });
}

void SoftwareUpdater::startAutomaticChecks(Answer newer) {
  stopAutomaticChecks();
  const auto check = [this, newer = std::move(newer)] {
    if (!automaticallyChecksForUpdates()) return;
    checkForUpdates([newer](const CheckResult& result) {
      if (result.outcome != CheckResult::Outcome::NewerVersion) logNoUpdate(result);
      else if (newer) newer(result);
    });
  };
  // Owned by the application, so it goes with it even when nothing stops it.
  auto* timer = new QTimer(QCoreApplication::instance());
  timer->setInterval(automaticCheckIntervalMs_);
  QObject::connect(timer, &QTimer::timeout, timer, check);
  timer->start();
  automaticChecks_ = timer;
  check();
}

void SoftwareUpdater::stopAutomaticChecks() { delete automaticChecks_.data(); }

}  // namespace ox
