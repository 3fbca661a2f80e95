#include "scanner/Keychain.h"

#include <qt6keychain/keychain.h>

#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/foundation/Log.h"

namespace ox {
namespace {

class KeychainThread;
KeychainThread& keychainThread();

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

  // Runs the job made by `make` on the keychain thread and waits for it to finish.
  template <class Make>
  Outcome run(Make make) {
    auto reply = std::make_shared<Reply>();
    {
      std::lock_guard lock(mutex_);
      pending_.push_back([make, reply] {
        QKeychain::Job* job = make();
        job->setAutoDelete(true);
        job->setInsecureFallback(false);
        QObject::connect(job, &QKeychain::Job::finished, job, [reply](QKeychain::Job* finished) {
          Outcome outcome;
          outcome.error = finished->error();
          outcome.errorText = finished->errorString();
          if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished)) outcome.text = read->textData();
          std::lock_guard lock(reply->mutex);
          reply->outcome = std::move(outcome);
          reply->done = true;
          reply->finished.notify_all();
        });
        job->start();
      });
    }
    // Captures nothing: the request itself waits in pending_.
    QMetaObject::invokeMethod(&context_, [] { keychainThread().startPending(); });
    std::unique_lock lock(reply->mutex);
    reply->finished.wait(lock, [&] { return reply->done; });
    return reply->outcome;
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

}  // namespace

std::optional<QString> keychainPassword(const QString& service, const QString& account) {
  const auto outcome = keychainThread().run([service, account] {
    auto* job = new QKeychain::ReadPasswordJob(service);
    job->setKey(account);
    return job;
  });
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
  const auto outcome = keychainThread().run([service, account] {
    auto* job = new QKeychain::DeletePasswordJob(service);
    job->setKey(account);
    return job;
  });
  logFailure("delete", outcome);
  return outcome.error == QKeychain::NoError || outcome.error == QKeychain::EntryNotFound;
}

}  // namespace ox
