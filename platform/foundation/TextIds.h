#pragma once
#include <QString>
#include <cstdint>
#include <vector>

namespace ox {

// Numbers texts: equal texts get one id, ids count up from 0 in the order texts are first seen. An open-addressing
// table with a fast hash of its own, for the archive code, through which every key and text of a library passes.
class TextIds {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // The text's id, given one when it has none yet.
  uint32_t id(const QString& text);
  // The text's id; kNone when it has none.
  uint32_t find(const QString& text) const;
  const QString& text(uint32_t id) const { return texts_[id]; }
  uint32_t size() const { return uint32_t(texts_.size()); }

  // The hash the table uses: fast on long texts that differ only near their end, such as paths.
  static uint64_t hash(const QString& text);
  // The same over bytes.
  static uint64_t hashBytes(const void* data, size_t length);

 private:
  size_t slot(const QString& text, uint64_t hash) const;

  std::vector<QString> texts_;
  std::vector<uint64_t> hashes_;  // by id
  std::vector<uint32_t> table_;   // id + 1; 0 for an empty slot
};

}  // namespace ox
