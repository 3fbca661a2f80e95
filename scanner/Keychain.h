#pragma once
#include <QString>
#include <chrono>
#include <optional>

// Access to the user's secret store (the Secret Service, through QtKeychain). Plain-text storage is never used as a
// fallback: when no secret store answers, every call fails.
//
// All jobs run on one keychain thread of their own, strictly one at a time in the order they were asked for, whatever
// thread asks. A synchronous caller blocks until its job has finished, running no other events meanwhile; the wait
// gives up (as a failure) once the thread's cancel scope (HttpCancelScope) is cancelled, since a store that takes
// calls and never answers keeps a job for a minute and more. A job asked for without waiting holds no thread.
namespace ox {

// The password stored for the service and account; nothing when there is none or the store cannot be reached.
std::optional<QString> keychainPassword(const QString& service, const QString& account);
// Stores (or replaces) the password; false when the store refused or cannot be reached.
bool setKeychainPassword(const QString& password, const QString& service, const QString& account);
// Deletes the item; false when the store refused or cannot be reached (a missing item counts as deleted).
bool deleteKeychainPassword(const QString& service, const QString& account);

// The same read and delete without waiting: the answer is dropped (a failure is logged), and a job asked for later
// runs after them.
void readKeychainPasswordLater(const QString& service, const QString& account);
void deleteKeychainPasswordLater(const QString& service, const QString& account);

// Waits until every deletion asked for so far has been answered, or `within` has passed; answers whether all were.
// The keychain thread ends at exit dropping what it still runs, so a quit waits here or a log-out just before it would
// leave the password stored.
bool finishKeychainDeletions(std::chrono::milliseconds within);

}  // namespace ox
