#include <gtest/gtest.h>

#include <QDateTime>
#include <plist/plist.h>

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

}  // namespace
