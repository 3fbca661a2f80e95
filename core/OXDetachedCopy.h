#pragma once
#include <QList>
#include <QMap>

// Qt containers share their data when copied and, before a change, decide whether to copy it first by a relaxed
// read of the share count; a change made in place on one thread after another thread dropped its share is then not
// ordered after that thread's last reads of it. The containers that the store changes in place are therefore never
// shared across threads: what goes in or out under a lock is an element-wise copy.
template <class T>
QList<T> detachedCopy(const QList<T>& list) {
  return QList<T>(list.cbegin(), list.cend());
}

template <class K, class V>
QMap<K, V> detachedCopy(const QMap<K, V>& map) {
  QMap<K, V> out;
  for (auto it = map.cbegin(); it != map.cend(); ++it) out.insert(out.cend(), it.key(), it.value());
  return out;
}
