#pragma once
#include <QByteArray>
#include <QString>
#include <QUrl>

#include <atomic>

namespace ox {

// Software update of a program: reads the update feed (an RSS appcast at the information value "SUFeedURL") and
// compares the version it offers with the program's "CFBundleVersion". It never downloads or runs anything: an update
// is taken by opening the release page in the browser. Every request has short timeouts, so a feed that does not
// answer holds its caller for a few seconds at most.
class SoftwareUpdater {
 public:
  static SoftwareUpdater& shared();

  QUrl feedURL() const;
  QString currentVersion() const;

  // One GET of the feed; empty when it cannot be read (no address, no answer in time, an error status).
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

  // Reads the feed on a thread of its own and, when it offers a newer version, opens its release page (from the
  // main thread). Answers at once.
  void checkForUpdates();

  bool automaticallyChecksForUpdates() const { return checks_; }
  void setAutomaticallyChecksForUpdates(bool on) { checks_ = on; }
  // Kept as the setting the program asks for; nothing is ever downloaded.
  bool automaticallyDownloadsUpdates() const { return downloads_; }
  void setAutomaticallyDownloadsUpdates(bool on) { downloads_ = on; }

  // Tests shorten the waits.
  void setTimeouts(int connectMs, int totalMs);

 private:
  SoftwareUpdater() = default;
  std::atomic<bool> checks_{false};
  std::atomic<bool> downloads_{false};
  std::atomic<int> connectTimeoutMs_{1500};
  std::atomic<int> totalTimeoutMs_{3000};
};

}  // namespace ox
