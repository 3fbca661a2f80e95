#pragma once
#include <QString>
#include <QVariantMap>

#include <functional>

#include "platform/foundation/NotificationCenter.h"

class QDBusMessage;

namespace ox {

struct DistributedNotification {
  QString name;
  QString object;  // empty: none
  QVariantMap userInfo;
};

// Notifications between the processes of the user's session. A post is one D-Bus signal on the session bus (path
// kPath, interface kInterface, member kMember, arguments name, object, user info as a{sv}); every process that
// observes the name receives it, the posting one too. Observers are called on the main thread at a later turn of its
// event loop, in the order they were added. User-info values must be what D-Bus carries: numbers, booleans, strings,
// byte arrays and lists and maps of them; a post that cannot be sent is dropped with a log line.
//
// Without a session bus (a bare console) posts reach the observers of this process only.
//
// Observers live in a NotificationCenter of the centre's own, so adding and removing them follows its rules: any
// thread, also from inside an observer, and no call after removeObserver returns.
class DistributedNotificationCenter {
 public:
  using Token = NotificationCenter::Token;

  static const QString kPath;
  static const QString kInterface;
  static const QString kMember;

  // The process's centre, created on first use (after the QCoreApplication) and never destroyed.
  static DistributedNotificationCenter& defaultCenter();

  // `name` empty: every name; `object` empty: any object. Answers a token for removeObserver (never 0).
  Token addObserver(const QString& name, const QString& object,
                    std::function<void(const DistributedNotification&)> block);
  void removeObserver(Token token);
  // Sends at once (the posting process does not wait for anyone). Answers whether the post left this process or,
  // without a bus, was queued for this process's observers.
  bool post(const QString& name, const QString& object = {}, const QVariantMap& userInfo = {});
  // Waits (a few seconds at most) until the bus has taken every post made so far: a process that posts and then ends
  // calls it, or its last posts may go down with its connection.
  void flush();

  DistributedNotificationCenter(const DistributedNotificationCenter&) = delete;
  DistributedNotificationCenter& operator=(const DistributedNotificationCenter&) = delete;

 private:
  class Receiver;
  friend class Receiver;

  DistributedNotificationCenter();
  ~DistributedNotificationCenter() = delete;
  void deliver(const DistributedNotification& note);

  NotificationCenter m_observers;
  Receiver* m_receiver = nullptr;
  bool m_onBus = false;
};

}  // namespace ox
