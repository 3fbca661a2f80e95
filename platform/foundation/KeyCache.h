#pragma once
#include <QString>
#include <cstdint>
#include <cstring>

namespace ox {

// A small cache from a key text to a number, found by the text's address. The keys of archived records are literals,
// met again and again at the same address, so most lookups cost a compare instead of a hash. Each entry keeps a copy
// of its own: a different text at a known address is a miss, never a wrong answer.
class KeyCache {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  uint32_t find(const QString& key) const {
    const Entry& e = entries_[slot(key)];
    return e.at == key.constData() && e.text.size() == key.size() &&
                   std::memcmp(e.text.constData(), key.constData(), size_t(key.size()) * sizeof(QChar)) == 0
               ? e.value
               : kNone;
  }
  void insert(const QString& key, uint32_t value) {
    entries_[slot(key)] = {key.constData(), QString(key.constData(), key.size()), value};
  }

 private:
  struct Entry {
    const QChar* at = nullptr;
    QString text;
    uint32_t value = kNone;
  };
  static constexpr int kBits = 8;
  static size_t slot(const QString& key) {
    return size_t((uint64_t(reinterpret_cast<uintptr_t>(key.constData())) * 0x9E3779B97F4A7C15ULL) >> (64 - kBits));
  }
  Entry entries_[size_t(1) << kBits];
};

}  // namespace ox
