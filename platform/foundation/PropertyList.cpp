#include "platform/foundation/PropertyList.h"

#include <QDateTime>
#include <cmath>
#include <cstdlib>

#include "platform/foundation/BinaryPlistCheck.h"
#include "platform/foundation/BinaryPlistWriter.h"

namespace ox {

QVariant plistScalar(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return text ? QString::fromUtf8(text, qsizetype(length)) : QString();
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      const char* data = plist_get_data_ptr(node, &length);
      return QByteArray(data, data ? qsizetype(length) : 0);
    }
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return bool(b);
    }
    case PLIST_UINT: {
      uint64_t n = 0;
      plist_get_uint_val(node, &n);
      return qint64(n);
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return d;
    }
    default:
      return {};
  }
}

namespace {

plist_t toNode(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::QString:
      return plist_new_string(v.toString().toUtf8().constData());
    case QMetaType::QByteArray: {
      const QByteArray b = v.toByteArray();
      return plist_new_data(b.constData(), uint64_t(b.size()));
    }
    case QMetaType::Bool:
      return plist_new_bool(v.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      return plist_new_uint(uint64_t(v.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
      return plist_new_real(v.toDouble());
    case QMetaType::QDateTime: {
      const QDateTime date = v.toDateTime();
      if (!date.isValid()) return nullptr;
      const qint64 ms = date.toMSecsSinceEpoch() - kPlistReferenceDateMSecs;
      const qint64 sec = qint64(std::floor(double(ms) / 1000.0));
      return plist_new_date(int32_t(sec), int32_t((ms - sec * 1000) * 1000));
    }
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
      plist_t array = plist_new_array();
      for (const QVariant& item : v.toList()) {
        plist_t node = toNode(item);
        if (!node) {
          plist_free(array);
          return nullptr;
        }
        plist_array_append_item(array, node);
      }
      return array;
    }
    case QMetaType::QVariantMap: {
      const QVariantMap map = v.toMap();
      plist_t dict = plist_new_dict();
      for (auto it = map.cbegin(); it != map.cend(); ++it) {
        plist_t node = toNode(it.value());
        if (!node || it.key().contains(QChar(0))) {
          plist_free(node);
          plist_free(dict);
          return nullptr;
        }
        plist_dict_set_item(dict, it.key().toUtf8().constData(), node);
      }
      return dict;
    }
    default:
      return nullptr;
  }
}

QVariant fromNode(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_DATE: {
      int32_t sec = 0, usec = 0;
      plist_get_date_val(node, &sec, &usec);
      return QDateTime::fromMSecsSinceEpoch(kPlistReferenceDateMSecs + qint64(sec) * 1000 + usec / 1000, Qt::UTC);
    }
    case PLIST_ARRAY: {
      QVariantList list;
      plist_array_iter it = nullptr;
      plist_array_new_iter(node, &it);
      for (plist_t element = nullptr;;) {
        plist_array_next_item(node, it, &element);
        if (!element) break;
        list << fromNode(element);
      }
      free(it);
      return list;
    }
    case PLIST_DICT: {
      QVariantMap map;
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, it, &key, &value);
        if (!key) break;
        map.insert(QString::fromUtf8(key), fromNode(value));
        free(key);
      }
      free(it);
      return map;
    }
    default:
      return plistScalar(node);
  }
}

}  // namespace

QByteArray propertyListData(const QVariant& value) {
  plist_t root = toNode(value);
  if (!root) return {};
  const QByteArray out = writeBinaryPlist(root);
  plist_free(root);
  return out;
}

QVariant propertyListValue(const QByteArray& bytes) {
  // libplist trusts its input; the check keeps damaged files from crashing or exhausting the reader.
  if (bytes.isEmpty() || !checkBinaryPlist(bytes).isEmpty()) return {};
  plist_t root = nullptr;
  plist_from_bin(bytes.constData(), uint32_t(bytes.size()), &root);
  if (!root) return {};
  QVariant out = fromNode(root);
  plist_free(root);
  return out;
}

}  // namespace ox
