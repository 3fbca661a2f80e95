#include "scanner/Keychain.h"

#include <qt6keychain/keychain.h>

#include <QMetaObject>
#include <QSemaphore>
#include <QThread>
#include <memory>

#include "platform/foundation/Log.h"

namespace ox {
namespace {

// QtKeychain serialises its jobs through an executor that lives on the thread of the first job and is not safe to
// use from several threads, and its completions arrive through that thread's event loop. One long-lived thread
// owns every job.
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
    auto outcome = std::make_shared<Outcome>();
    auto done = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(&context_, [make, outcome, done] {
      QKeychain::Job* job = make();
      job->setAutoDelete(true);
      job->setInsecureFallback(false);
      QObject::connect(job, &QKeychain::Job::finished, job, [outcome, done](QKeychain::Job* finished) {
        outcome->error = finished->error();
        outcome->errorText = finished->errorString();
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished)) outcome->text = read->textData();
        done->release();
      });
      job->start();
    });
    done->acquire();
    return *outcome;
  }

 private:
  QThread thread_;
  QObject context_;
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
