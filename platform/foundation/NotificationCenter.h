#pragma once
#include <QString>
#include <QVariantMap>
#include <QtGlobal>

#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace ox {

struct Notification {
  QString name;
  const void* object = nullptr;
  QVariantMap userInfo;
};

// In-process notifications by name. Delivery is synchronous on the posting thread, in the order the observers were
// added. Every operation may be used from any thread, also from inside an observer (an observer may post, add, or
// remove itself or others).
//
// After removeObserver returns, the observer is not called again. Calls already running on other threads are waited
// for, so the caller may free what the observer uses; that wait is skipped when removeObserver itself is called from
// inside an observer (two observers removing each other on two threads must not wait on each other). Do not hold a
// lock that an observer takes while removing it.
class NotificationCenter {
 public:
  using Token = quint64;

  NotificationCenter();
  ~NotificationCenter();
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  // The process-wide centre; never destroyed, so late posts during exit stay safe.
  static NotificationCenter& defaultCenter();

  // `name` empty: every name; `object` null: any object. Answers a token for removeObserver (never 0).
  Token addObserver(const QString& name, const void* object, std::function<void(const Notification&)> block);
  // Unknown or already removed tokens are ignored.
  void removeObserver(Token token);
  void post(const QString& name, const void* object = nullptr, const QVariantMap& userInfo = {});

 private:
  struct Entry;
  std::mutex m_mutex;
  std::map<Token, std::shared_ptr<Entry>> m_entries;
  Token m_next = 1;
};

}  // namespace ox
