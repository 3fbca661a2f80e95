#include "scanner/Keychain.h"

#include <qt6keychain/keychain.h>

#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/foundation/HttpClient.h"
#include "platform/foundation/Log.h"

namespace ox {
namespace {

class KeychainThread;
KeychainThread& keychainThread();

// How often a waiting caller looks at its cancel scope.
constexpr std::chrono::milliseconds kCancelPoll{50};

// Deletions asked for and not yet answered. Kept apart from the keychain thread, which a quit that asks about them
// need not start.
struct PendingDeletions {
  std::mutex mutex;
  std::condition_variable settled;
  int count = 0;
};

PendingDeletions& pendingDeletions() {
  static PendingDeletions pending;
  return pending;
}

// QtKeychain serialises its jobs through an executor that lives on the thread of the first job and is not safe to
// use from several threads, and its completions arrive through that thread's event loop. One long-lived thread
// owns every job.
//
// Requests and answers cross threads under a std::mutex of ours, not inside Qt's event queue or a QSemaphore: those
// order memory with locks that ThreadSanitizer cannot see in an uninstrumented Qt, so every capture read on the
// other side would be reported.
class KeychainThread {
 public:
  KeychainThread() {
    thread_.setObjectName(QStringLiteral("keychain"));
    context_.moveToThread(&thread_);
    thread_.start();
  }
  ~KeychainThread() {
    thread_.quit();
    thread_.wait();
  }

  struct Outcome {
    QKeychain::Error error = QKeychain::OtherError;
    QString errorText;
    QString text;
  };

  // Runs the job made by `make` on the keychain thread and waits for it to finish, or for the thread's cancel scope.
  template <class Make>
  Outcome run(Make make, bool deletion = false) {
    auto reply = std::make_shared<Reply>();
    submit(
        make,
        [reply](Outcome outcome) {
          std::lock_guard lock(reply->mutex);
          reply->outcome = std::move(outcome);
          reply->done = true;
          reply->finished.notify_all();
        },
        deletion);
    std::unique_lock lock(reply->mutex);
    while (!reply->finished.wait_for(lock, kCancelPoll, [&] { return reply->done; }))
      if (HttpCancelScope::isCancelled()) return Outcome{QKeychain::OtherError, QStringLiteral("cancelled"), {}};
    return reply->outcome;
  }

  // Starts the job made by `make` on the keychain thread; `done` runs there with its outcome. A deletion stays
  // pending (finishKeychainDeletions) until then.
  template <class Make>
  void submit(Make make, std::function<void(Outcome)> done, bool deletion = false) {
    if (deletion) {
      std::lock_guard lock(pendingDeletions().mutex);
      ++pendingDeletions().count;
    }
    {
      std::lock_guard lock(mutex_);
      pending_.push_back([make, done = std::move(done), deletion] {
        QKeychain::Job* job = make();
        job->setAutoDelete(true);
        job->setInsecureFallback(false);
        QObject::connect(job, &QKeychain::Job::finished, job, [done, deletion](QKeychain::Job* finished) {
          Outcome outcome;
          outcome.error = finished->error();
          outcome.errorText = finished->errorString();
          if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished)) outcome.text = read->textData();
          done(std::move(outcome));
          if (!deletion) return;
          std::lock_guard lock(pendingDeletions().mutex);
          if (--pendingDeletions().count == 0) pendingDeletions().settled.notify_all();
        });
        job->start();
      });
    }
    // Captures nothing: the request itself waits in pending_.
    QMetaObject::invokeMethod(&context_, [] { keychainThread().startPending(); });
  }

 private:
  struct Reply {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    Outcome outcome;
  };

  // On the keychain thread.
  void startPending() {
    std::deque<std::function<void()>> starts;
    {
      std::lock_guard lock(mutex_);
      starts.swap(pending_);
    }
    for (auto& start : starts) start();
  }

  QThread thread_;
  QObject context_;
  std::mutex mutex_;
  std::deque<std::function<void()>> pending_;
};

KeychainThread& keychainThread() {
  static KeychainThread instance;
  return instance;
}

void logFailure(const char* what, const KeychainThread::Outcome& outcome) {
  if (outcome.error != QKeychain::NoError && outcome.error != QKeychain::EntryNotFound)
    ox::log(QStringLiteral("keychain %1 failed: %2").arg(QLatin1String(what), outcome.errorText));
}

QKeychain::Job* readJob(const QString& service, const QString& account) {
  auto* job = new QKeychain::ReadPasswordJob(service);
  job->setKey(account);
  return job;
}

QKeychain::Job* deleteJob(const QString& service, const QString& account) {
  auto* job = new QKeychain::DeletePasswordJob(service);
  job->setKey(account);
  return job;
}

}  // namespace

std::optional<QString> keychainPassword(const QString& service, const QString& account) {
  const auto outcome = keychainThread().run([service, account] { return readJob(service, account); });
  logFailure("read", outcome);
  if (outcome.error != QKeychain::NoError) return std::nullopt;
  return outcome.text;
}

bool setKeychainPassword(const QString& password, const QString& service, const QString& account) {
  const auto outcome = keychainThread().run([password, service, account] {
    auto* job = new QKeychain::WritePasswordJob(service);
    job->setKey(account);
    job->setTextData(password);
    return job;
  });
  logFailure("write", outcome);
  return outcome.error == QKeychain::NoError;
}

bool deleteKeychainPassword(const QString& service, const QString& account) {
  const auto outcome = keychainThread().run([service, account] { return deleteJob(service, account); }, true);
  logFailure("delete", outcome);
  return outcome.error == QKeychain::NoError || outcome.error == QKeychain::EntryNotFound;
}

void readKeychainPasswordLater(const QString& service, const QString& account) {
  keychainThread().submit([service, account] { return readJob(service, account); },
                          [](const KeychainThread::Outcome& outcome) { logFailure("read", outcome); });
}

void deleteKeychainPasswordLater(const QString& service, const QString& account) {
  keychainThread().submit([service, account] { return deleteJob(service, account); },
                          [](const KeychainThread::Outcome& outcome) { logFailure("delete", outcome); }, true);
}

bool finishKeychainDeletions(std::chrono::milliseconds within) {
  PendingDeletions& pending = pendingDeletions();
  std::unique_lock lock(pending.mutex);
  if (pending.settled.wait_for(lock, within, [&] { return pending.count == 0; })) return true;
  ox::log(QStringLiteral("keychain: %1 deletion(s) still unanswered at the quit").arg(pending.count));
  return false;
}

}  // namespace ox
