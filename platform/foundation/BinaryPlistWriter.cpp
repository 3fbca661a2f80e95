#include "platform/foundation/BinaryPlistWriter.h"

#include <QHash>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace ox {
namespace {

int widthFor(uint64_t value) { return value <= 0xFF ? 1 : value <= 0xFFFF ? 2 : value <= 0xFFFFFFFFu ? 4 : 8; }

void appendBigEndian(QByteArray& out, uint64_t value, int width) {
  for (int i = width - 1; i >= 0; --i) out.append(char(value >> (8 * i)));
}

QByteArray integerObject(uint64_t value) {
  // Negative numbers take eight bytes, which readers take as signed.
  const int width = int64_t(value) < 0 ? 8 : widthFor(value);
  QByteArray out(1, char(0x10 | (width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3)));
  appendBigEndian(out, value, width);
  return out;
}

// The marker of a sized object: its count in the low nibble, or 0xF and an integer object after it.
QByteArray sizedMarker(uint8_t type, uint64_t count) {
  if (count < 15) return QByteArray(1, char(type << 4 | count));
  return char(type << 4 | 0xF) + integerObject(count);
}

struct Writer {
  struct Object {
    QByteArray bytes;            // a scalar, written as is
    uint8_t containerType = 0;   // 0xA array or 0xD dictionary
    std::vector<uint64_t> refs;  // dictionary: keys, then values
  };
  std::vector<Object> objects;
  QHash<QByteArray, uint64_t> scalars;
  bool ok = true;

  uint64_t scalar(QByteArray bytes) {
    auto it = scalars.constFind(bytes);
    if (it != scalars.constEnd()) return *it;
    objects.push_back({bytes, 0, {}});
    return scalars[bytes] = objects.size() - 1;
  }
  uint64_t text(const char* utf8, uint64_t length) {
    const QString s = QString::fromUtf8(utf8, qsizetype(length));
    bool ascii = true;
    for (QChar c : s) ascii = ascii && c.unicode() < 0x80;
    QByteArray out = sizedMarker(ascii ? 0x5 : 0x6, uint64_t(s.size()));
    if (ascii) return scalar(out + s.toLatin1());
    for (QChar c : s) appendBigEndian(out, c.unicode(), 2);
    return scalar(out);
  }

  uint64_t add(plist_t node) {
    switch (plist_get_node_type(node)) {
      case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return scalar(QByteArray(1, b ? '\x09' : '\x08'));
      }
      case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return scalar(integerObject(v));
      }
      case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        QByteArray out(1, '\x23');
        appendBigEndian(out, bits, 8);
        return scalar(out);
      }
      case PLIST_DATE: {
        // Seconds since 2001-01-01 as a big-endian double.
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        const double d = double(sec) + double(usec) / 1e6;
        uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        QByteArray out(1, '\x33');
        appendBigEndian(out, bits, 8);
        return scalar(out);
      }
      case PLIST_STRING:
      case PLIST_KEY: {
        uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        return text(s ? s : "", s ? length : 0);
      }
      case PLIST_DATA: {
        uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        return scalar(sizedMarker(0x4, length) + QByteArray(bytes, qsizetype(length)));
      }
      case PLIST_UID: {
        uint64_t v = 0;
        plist_get_uid_val(node, &v);
        const int width = widthFor(v);
        QByteArray out(1, char(0x80 | (width - 1)));
        appendBigEndian(out, v, width);
        return scalar(out);
      }
      case PLIST_ARRAY: {
        const uint64_t index = objects.size();
        objects.push_back({{}, 0xA, {}});
        std::vector<uint64_t> refs;
        plist_array_iter it = nullptr;  // not by index: libplist 2.2 walks from the first element for each index
        plist_array_new_iter(node, &it);
        for (plist_t element = nullptr;;) {
          plist_array_next_item(node, it, &element);
          if (!element) break;
          refs.push_back(add(element));
        }
        std::free(it);
        objects[index].refs = std::move(refs);
        return index;
      }
      case PLIST_DICT: {
        const uint64_t index = objects.size();
        objects.push_back({{}, 0xD, {}});
        std::vector<uint64_t> keys, values;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
          char* key = nullptr;
          plist_t value = nullptr;
          plist_dict_next_item(node, it, &key, &value);
          if (!key) break;
          keys.push_back(text(key, std::strlen(key)));
          std::free(key);
          values.push_back(add(value));
        }
        std::free(it);
        keys.insert(keys.end(), values.begin(), values.end());
        objects[index].refs = std::move(keys);
        return index;
      }
      default:
        ok = false;
        return 0;
    }
  }
};

}  // namespace

QByteArray writeBinaryPlist(plist_t root) {
  Writer w;
  const uint64_t top = w.add(root);
  if (!w.ok) return {};
  const int refWidth = widthFor(w.objects.size() - 1);
  QByteArray out("bplist00");
  std::vector<uint64_t> offsets;
  offsets.reserve(w.objects.size());
  for (const Writer::Object& o : w.objects) {
    offsets.push_back(uint64_t(out.size()));
    if (!o.containerType) {
      out += o.bytes;
      continue;
    }
    out += sizedMarker(o.containerType, o.containerType == 0xD ? o.refs.size() / 2 : o.refs.size());
    for (uint64_t ref : o.refs) appendBigEndian(out, ref, refWidth);
  }
  const uint64_t tableOffset = uint64_t(out.size());
  const int offsetWidth = widthFor(tableOffset);
  for (uint64_t offset : offsets) appendBigEndian(out, offset, offsetWidth);
  out.append(QByteArray(6, '\0'));
  out.append(char(offsetWidth));
  out.append(char(refWidth));
  appendBigEndian(out, w.objects.size(), 8);
  appendBigEndian(out, top, 8);
  appendBigEndian(out, tableOffset, 8);
  return out;
}

}  // namespace ox
