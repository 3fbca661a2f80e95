#pragma once
#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <vector>

class QTimer;

namespace ox {

// Software update of a program: reads the update feed (an RSS appcast at the information value "SUFeedURL") and
// compares the version it offers with the program's "CFBundleVersion". It never downloads or runs anything: an update
// is taken by opening the release page in the browser. Every request has short timeouts, so a feed that does not
// answer holds its caller for a few seconds at most.
class SoftwareUpdater {
 public:
  // What one reading of the feed found.
  struct CheckResult {
    enum class Outcome { NewerVersion, UpToDate, FeedUnreadable };
    Outcome outcome = Outcome::FeedUnreadable;
    QString offeredVersion;  // empty when the feed could not be read or named no version
    QString currentVersion;
    QUrl releasePage;  // a newer version's page; empty when the feed names none
  };
  using Answer = std::function<void(const CheckResult&)>;
  static constexpr int kAutomaticCheckIntervalMs = 24 * 60 * 60 * 1000;

  static SoftwareUpdater& shared();

  QUrl feedURL() const;
  QString currentVersion() const;

  // One GET of the feed; empty when it cannot be read (no address, no answer in time, an error status, what
  // ox::checkXml refuses).
  QByteArray fetchFeed() const;
  // The first version attribute (sparkle:version="...") of the feed's text; null when there is none.
  static QString versionInFeed(const QByteArray& feed);
  // Where a person reads about the first offered version: its item's link, else its release notes link, else the
  // channel's link; empty when the feed names none.
  static QUrl releasePageInFeed(const QByteArray& feed);
  // Compares dotted versions component by component, as numbers ("1.2.10" > "1.2.9", "1.3" > "1.2.1"); missing
  // components count as 0 and a component's text after its digits is compared after the number. <0, 0 or >0.
  static int compareVersions(const QString& a, const QString& b);
  // The feed offers a version newer than this program's.
  static bool isNewer(const QString& feedVersion, const QString& currentVersion);

  // Reads the feed on a thread of its own; `answer` runs on the main thread with what it found. Answers at once.
  void checkForUpdates(Answer answer);
  // The same, and a newer version's release page opens; any other finding is a log line.
  void checkForUpdates();
  // The same for a view that shows what the feed offers, each time it is built: an asker that comes while such a
  // reading is under way joins it instead of starting another, so a feed that does not answer is waited on once.
  // Main thread.
  void checkForUpdatesOrJoin(Answer answer);
  // While "automaticallyChecksForUpdates" is on, a check now and then once a day; the setting is read again before
  // each, so turning it off stops them. Only a newer version reaches `newer` (on the main thread): nothing new or a
  // feed that cannot be read is a log line, so nobody is interrupted for it. Main thread.
  void startAutomaticChecks(Answer newer);
  void stopAutomaticChecks();
  // Before the process goes: ends a check under way at once (its answer is dropped) and starts no more.
  void stopChecking();

  // The program's choices, kept in its user defaults ("automaticallyChecksForUpdates",
  // "automaticallyDownloadsUpdates"; off until set). Nothing is ever downloaded: the second is kept as asked.
  bool automaticallyChecksForUpdates() const;
  void setAutomaticallyChecksForUpdates(bool on);
  bool automaticallyDownloadsUpdates() const;
  void setAutomaticallyDownloadsUpdates(bool on);

  // Tests shorten the waits and the day between automatic checks.
  void setTimeouts(int connectMs, int totalMs);
  void setAutomaticCheckInterval(int ms) { automaticCheckIntervalMs_ = ms; }

 private:
  SoftwareUpdater() = default;
  CheckResult readFeed() const;

  std::atomic<int> connectTimeoutMs_{1500};
  std::atomic<int> totalTimeoutMs_{3000};
  std::atomic<int> automaticCheckIntervalMs_{kAutomaticCheckIntervalMs};
  QPointer<QTimer> automaticChecks_;
  // Those waiting for the reading of checkForUpdatesOrJoin under way; empty when none is.
  std::vector<Answer> joined_;
};

}  // namespace ox
