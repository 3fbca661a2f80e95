#include "platform/foundation/TextIds.h"

#include <cstring>

namespace ox {

uint64_t TextIds::hash(const QString& text) { return hashBytes(text.constData(), size_t(text.size()) * 2); }

uint64_t TextIds::hashBytes(const void* data, size_t length) {
  const auto* p = static_cast<const uint8_t*>(data);
  uint64_t h = 0x9E3779B97F4A7C15ULL ^ length;
  for (; length >= 8; p += 8, length -= 8) {
    uint64_t k = 0;
    std::memcpy(&k, p, 8);
    h = (h ^ k) * 0xff51afd7ed558ccdULL;
    h ^= h >> 32;
  }
  uint64_t k = 0;
  std::memcpy(&k, p, length);
  h = (h ^ k) * 0xc4ceb9fe1a85ec53ULL;
  return h ^ (h >> 29);
}

size_t TextIds::slot(const QString& text, uint64_t h) const {
  const size_t mask = table_.size() - 1;
  for (size_t at = size_t(h) & mask;; at = (at + 1) & mask) {
    const uint32_t entry = table_[at];
    if (!entry || (hashes_[entry - 1] == h && texts_[entry - 1] == text)) return at;
  }
}

uint32_t TextIds::find(const QString& text) const {
  if (table_.empty()) return kNone;
  const uint32_t entry = table_[slot(text, hash(text))];
  return entry ? entry - 1 : kNone;
}

uint32_t TextIds::id(const QString& text) {
  if (2 * (texts_.size() + 1) > table_.size()) {
    std::vector<uint32_t> grown(std::max<size_t>(1024, table_.size() * 2), 0);
    const size_t mask = grown.size() - 1;
    for (size_t i = 0; i < texts_.size(); ++i) {
      size_t at = size_t(hashes_[i]) & mask;
      while (grown[at]) at = (at + 1) & mask;
      grown[at] = uint32_t(i + 1);
    }
    table_.swap(grown);
  }
  const uint64_t h = hash(text);
  uint32_t& entry = table_[slot(text, h)];
  if (!entry) {
    texts_.push_back(text);
    hashes_.push_back(h);
    entry = uint32_t(texts_.size());
  }
  return entry - 1;
}

}  // namespace ox
