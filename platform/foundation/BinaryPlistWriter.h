#pragma once
#include <QByteArray>
#include <QString>

#include "platform/foundation/TextIds.h"
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace ox {

// Writes a binary property list ("bplist00") as the platform's writer does: equal texts, numbers, data and UIDs
// stored once, references and offsets 1, 2, 4 or 8 bytes wide, objects numbered depth first with each container
// before its contents. The caller gives the objects in that order: begin a container, add its elements (for a
// dictionary each key, then its value), end it with their references. Nothing is built but the object table itself,
// so a keyed archive of a large library costs little more than its bytes.
class BinaryPlistWriter {
 public:
  using Ref = uint32_t;

  BinaryPlistWriter();
  ~BinaryPlistWriter();
  BinaryPlistWriter(const BinaryPlistWriter&) = delete;
  BinaryPlistWriter& operator=(const BinaryPlistWriter&) = delete;

  // An id for a text, the same for equal texts; its object is placed where text(id) is first asked for. Lets a
  // caller that meets a text long before it places it compare and hash the text only once.
  uint32_t internText(const QString& text);
  Ref text(uint32_t textId);
  Ref text(const QString& s) { return text(internText(s)); }
  // Integers are stored as the format's signed 64-bit ones: values above that range wrap.
  Ref integer(uint64_t value);
  Ref real(double value);
  Ref boolean(bool value);
  Ref uid(uint64_t value);
  // Seconds since 2001-01-01 00:00:00 UTC.
  Ref date(double seconds);
  Ref data(const QByteArray& bytes);

  Ref beginArray();
  void endArray(Ref array, const Ref* elements, size_t count);
  Ref beginDictionary();
  void endDictionary(Ref dictionary, const Ref* keys, const Ref* values, size_t count);

  // The property list with `top` as its top object. The writer cannot be used afterwards.
  QByteArray finish(Ref top);

 private:
  enum class Kind : uint8_t { Text, Integer, Real, Boolean, Uid, Date, Data, Array, Dictionary };
  struct Object {
    Kind kind;
    uint32_t index;   // text id, data index, or first reference of a container
    uint64_t value;   // scalar bits, or the container's element count
  };
  // Open addressing from a 64-bit scalar to its object.
  struct ScalarTable {
    std::vector<uint64_t> keys;
    std::vector<Ref> refs;
    size_t used = 0;
    Ref* find(uint64_t key, bool& inserted);
  };

  Ref place(Kind kind, uint32_t index, uint64_t value);
  Ref scalar(ScalarTable& table, Kind kind, uint64_t bits);
  Ref beginContainer(Kind kind);
  size_t objectSize(const Object& o, int refWidth) const;

  std::vector<Object> objects_;
  std::vector<Ref> refs_;           // the references of every container, each container's in one run
  TextIds texts_;
  std::vector<uint32_t> textIds_;     // by the id among texts_: the text id answered (itself, or that of its form)
  std::vector<QString> textForms_;    // by text id: the text as written
  std::vector<Ref> textRefs_;         // by text id; kNone until placed
  std::vector<uint8_t> textAscii_;    // by text id
  struct DataHash {
    size_t operator()(const QByteArray& b) const { return size_t(TextIds::hashBytes(b.constData(), size_t(b.size()))); }
  };
  std::vector<QByteArray> data_;
  std::unordered_map<QByteArray, Ref, DataHash> dataRefs_;  // equal data stored once: file samples are large
  ScalarTable integers_, reals_, dates_;
  std::vector<Ref> uids_;           // small UIDs, by value; kNone until placed
  ScalarTable largeUids_;
  Ref booleans_[2];
};

}  // namespace ox
