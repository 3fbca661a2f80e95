#pragma once
#include <QCoreApplication>
#include <QString>

#include <string>
#include <vector>

#include "platform/foundation/Info.h"
#include "platform/system/DistributedNotificationCenter.h"
#include "remote/RemoteControl.h"
#include "remote/RemoteControlDelegate.h"

namespace remotetest {

// The delegate's events as "code+" (pressed) and "code-" (released), separated by blanks.
struct Recorder : RemoteControlDelegate {
  std::string log;
  void sendRemoteButtonEvent(qint32 event, bool pressedDown, RemoteControl*) override {
    log += (log.empty() ? "" : " ") + std::to_string(event) + (pressedDown ? "+" : "-");
  }
};

// The program's bundle identifier for this test process, so that its hand-over posts are told from others'.
inline QString useBundleIdentifier(const QString& base = QStringLiteral("Varnel.OmbrixTest")) {
  const QString id = QStringLiteral("%1.%2").arg(base).arg(QCoreApplication::applicationPid());
  ox::registerInfoValues({{RemoteControl::kBundleIdentifierKey, id}});
  return id;
}

// The user info of every post of `name` made by the program `bundleIdentifier`.
struct PostLog {
  std::vector<QVariantMap> posts;
  ox::DistributedNotificationCenter::Token token = 0;
  PostLog(const QString& name, const QString& bundleIdentifier) {
    token = ox::DistributedNotificationCenter::defaultCenter().addObserver(
        name, {}, [this, bundleIdentifier](const ox::DistributedNotification& note) {
          if (note.userInfo.value(RemoteControl::kBundleIdentifierKey).toString() == bundleIdentifier)
            posts.push_back(note.userInfo);
        });
  }
  ~PostLog() { ox::DistributedNotificationCenter::defaultCenter().removeObserver(token); }
};

}  // namespace remotetest
