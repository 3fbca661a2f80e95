#pragma once
#include <QString>
#include <optional>

// Synchronous access to the user's secret store (the Secret Service, through QtKeychain). Plain-text storage is never
// used as a fallback: when no secret store answers, every call fails.
//
// All jobs run on one keychain thread of their own; the caller blocks until its job has finished. This keeps the
// store's jobs strictly one at a time whatever thread asks, and runs no other events on the caller's thread meanwhile.
namespace ox {

// The password stored for the service and account; nothing when there is none or the store cannot be reached.
std::optional<QString> keychainPassword(const QString& service, const QString& account);
// Stores (or replaces) the password; false when the store refused or cannot be reached.
bool setKeychainPassword(const QString& password, const QString& service, const QString& account);
// Deletes the item; false when the store refused or cannot be reached (a missing item counts as deleted).
bool deleteKeychainPassword(const QString& service, const QString& account);

}  // namespace ox
