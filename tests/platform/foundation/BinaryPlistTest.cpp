#include <gtest/gtest.h>

#include <QDateTime>
#include <plist/plist.h>

#include <cstdlib>
#include <iterator>
#include <random>

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/PropertyList.h"

namespace {

QDateTime at(qint64 msecs) { return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC); }

QVariantMap everyKind() {
  return {{"text", QString::fromUtf8("caf\xc3\xa9 \xf0\x9f\x8e\xac")},
          {"with nul", QString::fromUtf8("a\0b", 3)},
          {"data", QByteArray("\x00\xff", 2)},
          {"int", -42},
          {"big", qint64(1) << 40},
          {"real", 0.1},
          {"yes", true},
          {"dates", QVariantList{at(0), at(1), at(-999), at(978307199999LL), at(1733740000123LL),
                                 at(-2208988800000LL), at(4102444800123LL)}},
          {"nested", QVariantMap{{"list", QVariantList{1, "two", QVariantList{}}}, {"empty", QVariantMap{}}}}};
}

// The update marker and the caches are plain lists with dates: each comes back to the millisecond.
TEST(BinaryPlist, PlainListsRoundTripEveryKindWithDatesToTheMillisecond) {
  const QByteArray bytes = ox::propertyListData(everyKind());
  ASSERT_FALSE(bytes.isEmpty());
  QVariantMap expected = everyKind();
  expected["int"] = qint64(-42);
  QVariantMap nested = expected["nested"].toMap();
  nested["list"] = QVariantList{qint64(1), "two", QVariantList{}};
  expected["nested"] = nested;
  EXPECT_EQ(ox::propertyListValue(bytes), QVariant(expected));

  // What a property list cannot hold gives nothing rather than part of it.
  EXPECT_TRUE(ox::propertyListData(QVariantMap{{"nil", QVariant()}}).isEmpty());
  EXPECT_TRUE(ox::propertyListData(QVariantMap{{QString::fromUtf8("k\0", 2), 1}}).isEmpty());
  EXPECT_TRUE(ox::propertyListData(QDateTime()).isEmpty());
  for (qsizetype n = 0; n < bytes.size(); n += 7) EXPECT_FALSE(ox::propertyListValue(bytes.left(n)).isValid()) << n;
}

TEST(BinaryPlist, DatesAgreeWithAnIndependentWriterAndReader) {
  plist_t theirs = plist_new_array();
  plist_array_append_item(theirs, plist_new_date(756000000, 250000));  // 2024-12-15 00:00:00.25 UTC
  plist_array_append_item(theirs, plist_new_date(-31536000, 0));
  char* raw = nullptr;
  uint32_t length = 0;
  plist_to_bin(theirs, &raw, &length);
  const QVariantList read = ox::propertyListValue(QByteArray(raw, qsizetype(length))).toList();
  plist_to_bin_free(raw);
  plist_free(theirs);
  ASSERT_EQ(read.size(), 2);
  EXPECT_EQ(read[0].toDateTime(), at(ox::kPlistReferenceDateMSecs + 756000000250LL));
  EXPECT_EQ(read[1].toDateTime(), at(ox::kPlistReferenceDateMSecs - 31536000000LL));

  const QByteArray ours = ox::propertyListData(QVariantList{at(ox::kPlistReferenceDateMSecs + 756000000250LL)});
  plist_t back = nullptr;
  plist_from_bin(ours.constData(), uint32_t(ours.size()), &back);
  ASSERT_EQ(plist_get_node_type(plist_array_get_item(back, 0)), PLIST_DATE);
  int32_t sec = 0, usec = 0;
  plist_get_date_val(plist_array_get_item(back, 0), &sec, &usec);
  plist_free(back);
  EXPECT_EQ(sec, 756000000);
  EXPECT_NEAR(usec, 250000, 1);
}

// Texts are kept whole in archives: a NUL inside, the archive's own "$null", and what UTF-16 cannot say as it is.
TEST(BinaryPlist, ArchivedTextsKeepWhatTheyHold) {
  const QString loneSurrogate = QString(QChar(0xD800)) + QStringLiteral("x");
  const QVariantList texts{QString::fromUtf8("a\0b", 3), "$null", loneSurrogate, "", "$null"};
  const QVariantList back = ox::unarchiveRootObject(ox::archivedDataWithRootObject(texts)).toList();
  ASSERT_EQ(back.size(), 5);
  EXPECT_EQ(back[0], QString::fromUtf8("a\0b", 3));
  EXPECT_EQ(back[1], "$null");
  EXPECT_EQ(back[2], QString::fromUtf8(loneSurrogate.toUtf8()));
  EXPECT_EQ(back[3], "");
  EXPECT_EQ(back[4], "$null");
}

// ---- against an independent writer and reader ----------------------------------------------------------------------

QString randomText(std::mt19937& rng) {
  static const char16_t kUnits[] = {u'a', u'Z', u'0', u' ', u'/', u'.', 0xe9, 0x3a9, 0x4e2d, 0xfb00};
  QString out;
  for (int n = int(rng() % 40); n > 0; --n) out += QChar(kUnits[rng() % std::size(kUnits)]);
  if (rng() % 8 == 0) out += QString::fromUtf8("\xf0\x9f\x8e\xac");
  return out;
}

QVariant randomValue(std::mt19937& rng, int depth) {
  switch (rng() % (depth > 3 ? 6 : 8)) {
    case 0:
      return randomText(rng);
    case 1: {
      const int shift = int(rng() % 64);
      return qint64(rng() % 2 ? -(qint64(rng()) << shift % 32) : qint64(quint64(rng()) << shift) & 0x7fffffffffffffff);
    }
    case 2:
      return double(qint64(rng())) / double(1 + rng() % 1000);
    case 3:
      return bool(rng() % 2);
    case 4: {
      QByteArray data(int(rng() % 300), Qt::Uninitialized);
      for (char& c : data) c = char(rng());
      return data;
    }
    case 5:
      return at(ox::kPlistReferenceDateMSecs + qint64(rng() % 2000000000) * 1000 - 1000000000000LL);
    case 6: {
      QVariantList list;
      for (int n = int(rng() % 20); n > 0; --n) list << randomValue(rng, depth + 1);
      return list;
    }
    default: {
      QVariantMap map;
      for (int n = int(rng() % 20); n > 0; --n) map.insert(randomText(rng), randomValue(rng, depth + 1));
      return map;
    }
  }
}

plist_t theirNode(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::QString:
      return plist_new_string(v.toString().toUtf8().constData());
    case QMetaType::LongLong:
      return plist_new_uint(uint64_t(v.toLongLong()));
    case QMetaType::Double:
      return plist_new_real(v.toDouble());
    case QMetaType::Bool:
      return plist_new_bool(v.toBool());
    case QMetaType::QByteArray:
      return plist_new_data(v.toByteArray().constData(), uint64_t(v.toByteArray().size()));
    case QMetaType::QDateTime: {
      const qint64 ms = v.toDateTime().toMSecsSinceEpoch() - ox::kPlistReferenceDateMSecs;
      return plist_new_date(int32_t(ms / 1000), 0);
    }
    case QMetaType::QVariantList: {
      plist_t array = plist_new_array();
      for (const QVariant& e : v.toList()) plist_array_append_item(array, theirNode(e));
      return array;
    }
    default: {
      plist_t dict = plist_new_dict();
      const QVariantMap map = v.toMap();
      for (auto it = map.begin(); it != map.end(); ++it)
        plist_dict_set_item(dict, it.key().toUtf8().constData(), theirNode(it.value()));
      return dict;
    }
  }
}

QVariant theirValue(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return QString::fromUtf8(text, qsizetype(length));
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
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return bool(b);
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      const char* bytes = plist_get_data_ptr(node, &length);
      return QByteArray(bytes, qsizetype(length));
    }
    case PLIST_DATE: {
      int32_t sec = 0, usec = 0;
      plist_get_date_val(node, &sec, &usec);
      return at(ox::kPlistReferenceDateMSecs + qint64(sec) * 1000);
    }
    case PLIST_ARRAY: {
      QVariantList list;
      plist_array_iter it = nullptr;  // by index, libplist walks from the first element every time
      plist_array_new_iter(node, &it);
      for (plist_t element = nullptr;;) {
        plist_array_next_item(node, it, &element);
        if (!element) break;
        list << theirValue(element);
      }
      std::free(it);
      return list;
    }
    default: {
      QVariantMap map;
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      for (char* key = nullptr;; std::free(key)) {
        plist_t value = nullptr;
        plist_dict_next_item(node, it, &key, &value);
        if (!key) break;
        map.insert(QString::fromUtf8(key), theirValue(value));
      }
      std::free(it);
      return map;
    }
  }
}

// Random lists of every kind, and one of more than 65,535 objects (wider references and offsets), each written by
// libplist and read by us, and written by us and read by libplist: both sides see the same values.
TEST(BinaryPlist, AgreesWithAnIndependentWriterAndReaderOnRandomLists) {
  std::mt19937 rng(20251209);
  for (int round = 0; round < 40; ++round) {
    QVariantList value;
    for (int n = 1 + int(rng() % 30); n > 0 && round < 39; --n) value << randomValue(rng, 0);
    for (int n = 0; n < 300 && round == 39; ++n) {
      QVariantList texts;  // libplist places each element by walking its array: short arrays keep it quick
      for (int i = 0; i < 250; ++i) texts << QStringLiteral("text %1.%2").arg(n).arg(i);
      value << QVariant(texts);
    }

    plist_t theirs = theirNode(value);
    char* raw = nullptr;
    uint32_t length = 0;
    plist_to_bin(theirs, &raw, &length);
    plist_free(theirs);
    EXPECT_EQ(ox::propertyListValue(QByteArray(raw, qsizetype(length))), QVariant(value)) << "round " << round;
    plist_to_bin_free(raw);

    const QByteArray ours = ox::propertyListData(value);
    plist_t read = nullptr;
    plist_from_bin(ours.constData(), uint32_t(ours.size()), &read);
    ASSERT_TRUE(read) << "round " << round;
    EXPECT_EQ(theirValue(read), QVariant(value)) << "round " << round;
    plist_free(read);
  }
}

}  // namespace
