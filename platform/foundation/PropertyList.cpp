#include "platform/foundation/PropertyList.h"

#include <QDateTime>
#include <cmath>
#include <vector>

#include "platform/foundation/BinaryPlistCheck.h"
#include "platform/foundation/BinaryPlistReader.h"
#include "platform/foundation/BinaryPlistWriter.h"

namespace ox {
namespace {

using Ref = BinaryPlistWriter::Ref;

bool put(BinaryPlistWriter& w, const QVariant& v, Ref& out) {
  switch (v.typeId()) {
    case QMetaType::QString:
      out = w.text(v.toString());
      return true;
    case QMetaType::QByteArray:
      out = w.data(v.toByteArray());
      return true;
    case QMetaType::Bool:
      out = w.boolean(v.toBool());
      return true;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      out = w.integer(uint64_t(v.toLongLong()));
      return true;
    case QMetaType::Double:
    case QMetaType::Float:
      out = w.real(v.toDouble());
      return true;
    case QMetaType::QDateTime: {
      const QDateTime date = v.toDateTime();
      if (!date.isValid()) return false;
      out = w.date(double(date.toMSecsSinceEpoch() - kPlistReferenceDateMSecs) / 1000.0);
      return true;
    }
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
      const QVariantList list = v.toList();
      out = w.beginArray();
      std::vector<Ref> refs(size_t(list.size()));
      for (qsizetype i = 0; i < list.size(); ++i)
        if (!put(w, list[i], refs[size_t(i)])) return false;
      w.endArray(out, refs.data(), refs.size());
      return true;
    }
    case QMetaType::QVariantMap: {
      const QVariantMap map = v.toMap();
      out = w.beginDictionary();
      std::vector<Ref> keys, values(size_t(map.size()));
      keys.reserve(size_t(map.size()));
      for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it.key().contains(QChar(0))) return false;  // keys end at a NUL in the format's readers
        keys.push_back(w.text(it.key()));
        if (!put(w, it.value(), values[keys.size() - 1])) return false;
      }
      w.endDictionary(out, keys.data(), values.data(), keys.size());
      return true;
    }
    default:
      return false;
  }
}

QVariant get(const BinaryPlistReader& r, BinaryPlistReader::Ref ref) {
  using Type = BinaryPlistReader::Type;
  switch (r.type(ref)) {
    case Type::Text:
      return r.text(ref);
    case Type::Data:
      return r.data(ref);
    case Type::Boolean:
      return r.boolean(ref);
    case Type::Integer:
      return r.integer(ref);
    case Type::Real:
      return r.real(ref);
    case Type::Date: {
      const double seconds = r.real(ref);
      // Within about ±30,000 years, which QDateTime holds.
      if (!std::isfinite(seconds) || std::fabs(seconds) > 1e12) return {};
      return QDateTime::fromMSecsSinceEpoch(kPlistReferenceDateMSecs + qint64(std::llround(seconds * 1000.0)), Qt::UTC);
    }
    case Type::Array: {
      const BinaryPlistReader::Container array = r.container(ref);
      QVariantList list;
      list.reserve(qsizetype(array.count));
      for (uint64_t i = 0; i < array.count; ++i) list << get(r, r.element(array, i));
      return list;
    }
    case Type::Dictionary: {
      const BinaryPlistReader::Container dict = r.container(ref);
      QVariantMap map;
      for (uint64_t i = 0; i < dict.count; ++i) map.insert(r.text(r.key(dict, i)), get(r, r.value(dict, i)));
      return map;
    }
    default:
      return {};
  }
}

}  // namespace

QByteArray propertyListData(const QVariant& value) {
  BinaryPlistWriter writer;
  Ref top = 0;
  return put(writer, value, top) ? writer.finish(top) : QByteArray();
}

QVariant propertyListValue(const QByteArray& bytes) {
  // The check keeps damaged files from being read out of bounds or expanding without limit.
  if (bytes.isEmpty() || !checkBinaryPlist(bytes).isEmpty()) return {};
  const BinaryPlistReader reader(bytes);
  return get(reader, reader.top());
}

}  // namespace ox
