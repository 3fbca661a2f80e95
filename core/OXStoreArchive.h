#pragma once
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

#include "platform/foundation/KeyedArchiver.h"

// Reads the root keys of a store archive ("library.bin", "ratios.bin"), noting the first value that is not what the
// store writes there: a load that kept only part of what the file holds would let the next save drop the rest. An
// absent key is no damage (an older file may lack it); a key the store never writes, one written twice, a value
// of another kind, or an object that nothing the root holds refers to (the store writes none) is.
class OXStoreArchive {
 public:
  OXStoreArchive(const QByteArray& bytes, const QStringList& ownKeys);

  // Why the archive cannot be taken whole; empty while every key read so far was read whole. Asked once the keys are
  // read, it also finds objects that no key reaches.
  QString damage() const;

  // The key's value when it is there and `fits`; nothing (and the damage noted) when it is there and does not.
  QVariant value(const QString& key, const std::function<bool(const QVariant&)>& fits);
  template <class T>
  std::shared_ptr<T> record(const QString& key) {
    return ox::codingAs<T>(value(key, [](const QVariant& v) { return ox::codingAs<T>(v) != nullptr; }));
  }
  // A list of records of one class, every element of it (empty when the list holds anything else).
  template <class T>
  QList<std::shared_ptr<T>> records(const QString& key) {
    QList<std::shared_ptr<T>> out;
    const bool whole = value(key, [&out](const QVariant& v) {
                         if (v.typeId() != QMetaType::QVariantList) return false;
                         const QVariantList list = v.toList();
                         out.reserve(list.size());
                         for (const QVariant& e : list) {
                           auto record = ox::codingAs<T>(e);
                           if (!record) return false;
                           out << std::move(record);
                         }
                         return true;
                       }).isValid();
    if (!whole) out.clear();
    return out;
  }
  QDateTime date(const QString& key, const QDateTime& fallback);

 private:
  ox::KeyedUnarchiver archive_;
  QString damage_;
};
