#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>
#include <plist/plist.h>
#include <algorithm>
#include <limits>
#include <sys/stat.h>

#include "platform/foundation/KeyedArchiver.h"
#include "tests/support/TestUtil.h"

namespace {

struct TestRecord final : ox::Coding {
  QString name;
  qint64 count = 0;
  double ratio = 0;
  bool on = false;
  QString dollar;
  ox::CodingPtr child;
  QString archiveClassName() const override { return QStringLiteral("OXTestRecord"); }
  void encodeWithCoder(ox::Coder& c) const override {
    c.encodeObject(name, QStringLiteral("name"));
    c.encodeInt64(count, QStringLiteral("count"));
    c.encodeDouble(ratio, QStringLiteral("ratio"));
    c.encodeBool(on, QStringLiteral("on"));
    c.encodeObject(dollar, QStringLiteral("$dollar"));
    c.encodeObject(ox::wrapCoding(child), QStringLiteral("child"));
  }
};

void registerTestRecord() {
  ox::registerArchiveClass(QStringLiteral("OXTestRecord"), [](const ox::Decoder& d) {
    auto r = std::make_shared<TestRecord>();
    r->name = d.decodeString(QStringLiteral("name"));
    r->count = d.decodeInt64(QStringLiteral("count"));
    r->ratio = d.decodeDouble(QStringLiteral("ratio"));
    r->on = d.decodeBool(QStringLiteral("on"));
    r->dollar = d.decodeString(QStringLiteral("$dollar"));
    r->child = d.decodeCoding<TestRecord>(QStringLiteral("child"));
    return r;
  });
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString script() { return oxtest::sourcePath(QStringLiteral("tests/platform/foundation/keyed_archive.py")); }

// What the independent reader makes of an archive of ours.
QJsonObject inspect(const QByteArray& archive) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("a.bin"));
  EXPECT_TRUE(ox::writeFileAtomically(path, archive));
  QByteArray out, err;
  EXPECT_EQ(oxtest::runPython(script(), {QStringLiteral("inspect"), path}, &out, &err), 0) << err.constData();
  return QJsonDocument::fromJson(out).object();
}

QVariantMap everyKind() {
  return {
      {QStringLiteral("text"), QStringLiteral("Caf\u00e9 \U0001F3AC")},
      {QStringLiteral("empty"), QString(QLatin1String(""))},
      {QStringLiteral("data"), QByteArray("\x00\xff\x10", 3)},
      {QStringLiteral("int"), -42},
      {QStringLiteral("big"), qint64(1) << 53},
      {QStringLiteral("unsigned"), quint64(4000000000u)},
      {QStringLiteral("real"), 3.25},
      {QStringLiteral("float"), 0.5f},
      {QStringLiteral("yes"), true},
      {QStringLiteral("no"), false},
      {QStringLiteral("date"), QDateTime::fromMSecsSinceEpoch(1234567890123LL, Qt::UTC)},
      {QStringLiteral("old date"), QDateTime::fromMSecsSinceEpoch(-86400000LL * 365, Qt::UTC)},
      {QStringLiteral("file url"), QUrl::fromLocalFile(QStringLiteral("/movies/A b (2001).mkv"))},
      {QStringLiteral("web url"), QUrl(QStringLiteral("http://127.0.0.1:5050/movies?x=1&y=%C3%A9"))},
      {QStringLiteral("list"), QVariantList{1, QStringLiteral("two"), QVariant(), QVariantList{}, 4.5}},
      {QStringLiteral("strings"), QStringList{QStringLiteral("a"), QStringLiteral("b")}},
      {QStringLiteral("map"), QVariantMap{{QStringLiteral("inner"), QVariantMap{{QStringLiteral("k"), 1}}}}},
  };
}

TEST(KeyedArchiver, RoundTripsEveryKindOfValue) {
  ox::KeyedArchiver archiver;
  archiver.encodeObject(everyKind(), QStringLiteral("values"));
  archiver.encodeInt64(-5, QStringLiteral("int64"));
  archiver.encodeDouble(1e300, QStringLiteral("double"));
  archiver.encodeFloat(0.25f, QStringLiteral("float"));
  archiver.encodeBool(true, QStringLiteral("bool"));
  archiver.encodeObject(QVariant(), QStringLiteral("nil"));
  archiver.encodeObject(QStringLiteral("top"), QStringLiteral("$top"));
  const QByteArray bytes = archiver.finish();
  EXPECT_TRUE(archiver.finish().isEmpty());

  ox::KeyedUnarchiver u(bytes);
  ASSERT_TRUE(u.isValid());
  EXPECT_EQ(u.rootKeys(), (QStringList{"values", "int64", "double", "float", "bool", "nil", "$top"}));
  QVariantMap expected = everyKind();
  expected[QStringLiteral("strings")] = QVariantList{QStringLiteral("a"), QStringLiteral("b")};
  const QVariantMap got = u.decodeMap(QStringLiteral("values"));
  EXPECT_EQ(got.keys(), expected.keys());
  for (auto it = expected.begin(); it != expected.end(); ++it)
    EXPECT_EQ(got.value(it.key()), it.value()) << qPrintable(it.key());
  EXPECT_EQ(got.value(QStringLiteral("int")).typeId(), QMetaType::LongLong);
  EXPECT_EQ(got.value(QStringLiteral("text")).typeId(), QMetaType::QString);
  EXPECT_EQ(u.decodeInt64(QStringLiteral("int64")), -5);
  EXPECT_EQ(u.decodeDouble(QStringLiteral("double")), 1e300);
  EXPECT_EQ(u.decodeFloat(QStringLiteral("float")), 0.25f);
  EXPECT_EQ(u.decodeFloat(QStringLiteral("double")), std::numeric_limits<float>::infinity());
  EXPECT_TRUE(u.decodeBool(QStringLiteral("bool")));
  EXPECT_TRUE(u.containsValue(QStringLiteral("nil")));
  EXPECT_FALSE(u.decodeObject(QStringLiteral("nil")).isValid());
  EXPECT_EQ(u.decodeString(QStringLiteral("$top")), QStringLiteral("top"));
  // Missing keys and values of another kind read as empty.
  EXPECT_FALSE(u.containsValue(QStringLiteral("absent")));
  EXPECT_EQ(u.decodeInt64(QStringLiteral("absent")), 0);
  EXPECT_TRUE(u.decodeString(QStringLiteral("int64")).isEmpty());
  EXPECT_TRUE(u.decodeList(QStringLiteral("values")).isEmpty());
  EXPECT_EQ(ox::unarchiveRootObject(ox::archivedDataWithRootObject(QStringLiteral("x"))), QStringLiteral("x"));
}

TEST(KeyedArchiver, RoundTripsLargeArchivesAndReadsLibplistOutput) {
  // Past 65,535 objects references and UIDs take four bytes.
  QVariantList big;
  for (int i = 0; i < 70000; ++i) big.append(QStringLiteral("s%1").arg(i));
  EXPECT_EQ(ox::unarchiveRootObject(ox::archivedDataWithRootObject(big)), QVariant(big));

  // libplist's own writer uses three-byte offsets for a file of this size.
  const QVariantList small = big.mid(0, 6000);
  plist_t tree = nullptr;
  const QByteArray ours = ox::archivedDataWithRootObject(small);
  plist_from_bin(ours.constData(), uint32_t(ours.size()), &tree);
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_bin(tree, &bytes, &length);
  const QByteArray theirs(bytes, qsizetype(length));
  plist_to_bin_free(bytes);
  plist_free(tree);
  ASSERT_EQ(theirs[theirs.size() - 26], 3);
  EXPECT_EQ(ox::unarchiveRootObject(theirs), QVariant(small));
}

TEST(KeyedArchiver, KeepsObjectIdentity) {
  registerTestRecord();
  auto shared = std::make_shared<TestRecord>();
  shared->name = QStringLiteral("shared");
  auto owner = std::make_shared<TestRecord>();
  owner->name = QStringLiteral("owner");
  owner->count = 1LL << 40;
  owner->ratio = 0.125;
  owner->on = true;
  owner->dollar = QStringLiteral("$");
  owner->child = shared;
  const QVariantList list{ox::wrapCoding(shared), ox::wrapCoding(owner), ox::wrapCoding(shared)};
  const QByteArray bytes = ox::archivedDataWithRootObject(list);

  const QVariantList back = ox::unarchiveRootObject(bytes).toList();
  ASSERT_EQ(back.size(), 3);
  auto first = ox::codingAs<TestRecord>(back[0]);
  auto second = ox::codingAs<TestRecord>(back[1]);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first, ox::codingAs<TestRecord>(back[2]));
  EXPECT_EQ(first, second->child);
  EXPECT_EQ(first->name, QStringLiteral("shared"));
  EXPECT_EQ(second->name, QStringLiteral("owner"));
  EXPECT_EQ(second->count, 1LL << 40);
  EXPECT_EQ(second->ratio, 0.125);
  EXPECT_TRUE(second->on);
  EXPECT_EQ(second->dollar, QStringLiteral("$"));

  // In the file the shared record is one object, referenced three times, with one class dictionary.
  const QJsonObject layout = inspect(bytes);
  const int arrayUid = layout["topUids"].toObject()["root"].toInt();
  const QJsonArray uids = layout["objectUids"].toObject()[QStringLiteral("u%1").arg(arrayUid)].toArray();
  ASSERT_EQ(uids.size(), 3);
  EXPECT_EQ(uids[0], uids[2]);
  EXPECT_NE(uids[0], uids[1]);
  EXPECT_EQ(layout["classDictCount"].toInt(), 2);  // NSArray, OXTestRecord
}

TEST(KeyedArchiver, PythonReadsTheKeyedArchiveLayout) {
  registerTestRecord();
  auto record = std::make_shared<TestRecord>();
  record->name = QStringLiteral("r");
  record->count = 3;
  ox::KeyedArchiver archiver;
  archiver.encodeObject(everyKind(), QStringLiteral("values"));
  archiver.encodeObject(ox::wrapCoding(record), QStringLiteral("record"));
  archiver.encodeInt64(77, QStringLiteral("count"));
  const QJsonObject layout = inspect(archiver.finish());

  EXPECT_EQ(layout["archiver"].toString(), QStringLiteral("NSKeyedArchiver"));
  EXPECT_EQ(layout["version"].toInt(), 100000);
  EXPECT_EQ(layout["first"].toString(), QStringLiteral("$null"));
  EXPECT_EQ(layout["topKeys"].toArray(), (QJsonArray{"values", "record", "count"}));
  EXPECT_EQ(layout["topUids"].toObject()["values"].toInt(), 1);
  EXPECT_FALSE(layout["topUids"].toObject().contains("count"));  // scalars stand in the dictionary itself
  const QJsonObject classes = layout["classes"].toObject();
  EXPECT_EQ(classes["NSDictionary"].toArray(), (QJsonArray{"NSDictionary", "NSObject"}));
  EXPECT_EQ(classes["NSArray"].toArray(), (QJsonArray{"NSArray", "NSObject"}));
  EXPECT_EQ(classes["NSDate"].toArray(), (QJsonArray{"NSDate", "NSObject"}));
  EXPECT_EQ(classes["NSURL"].toArray(), (QJsonArray{"NSURL", "NSObject"}));
  EXPECT_EQ(classes["OXTestRecord"].toArray(), (QJsonArray{"OXTestRecord", "NSObject"}));
  EXPECT_EQ(layout["classDictCount"].toInt(), classes.size());

  const QJsonObject top = layout["top"].toObject();
  const QJsonObject values = top["values"].toObject();
  EXPECT_EQ(values["text"].toString(), QStringLiteral("Caf\u00e9 \U0001F3AC"));
  EXPECT_EQ(values["data"].toObject()["data"].toString(), QStringLiteral("00ff10"));
  EXPECT_EQ(values["int"].toInt(), -42);
  EXPECT_EQ(values["real"].toDouble(), 3.25);
  EXPECT_EQ(values["yes"].toBool(), true);
  EXPECT_DOUBLE_EQ(values["date"].toObject()["time"].toDouble(), 256260690.123);
  EXPECT_EQ(values["file url"].toObject()["url"].toString(), QStringLiteral("file:///movies/A%20b%20(2001).mkv"));
  EXPECT_TRUE(values["file url"].toObject()["base"].isNull());
  EXPECT_EQ(values["list"].toArray(), (QJsonArray{1, "two", QJsonValue(), QJsonArray{}, 4.5}));
  EXPECT_EQ(values["map"].toObject()["inner"].toObject()["k"].toInt(), 1);
  const QJsonObject rec = top["record"].toObject();
  EXPECT_EQ(rec["class"].toString(), QStringLiteral("OXTestRecord"));
  EXPECT_EQ(rec["keys"].toArray(), (QJsonArray{"name", "count", "ratio", "on", "$$dollar", "child", "$class"}));
  EXPECT_EQ(rec["name"].toString(), QStringLiteral("r"));
  EXPECT_EQ(rec["count"].toInt(), 3);
  EXPECT_TRUE(rec["child"].isNull());
  EXPECT_EQ(top["count"].toInt(), 77);
}

class KeyedArchiverPythonFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new QTemporaryDir;
    QByteArray err;
    ASSERT_EQ(oxtest::runPython(script(), {QStringLiteral("write"), dir->path()}, nullptr, &err), 0) << err.data();
  }
  static void TearDownTestSuite() { delete dir; }
  static QByteArray file(const char* name) { return readFile(dir->filePath(QString::fromLatin1(name))); }
  static QTemporaryDir* dir;
};
QTemporaryDir* KeyedArchiverPythonFiles::dir = nullptr;

TEST_F(KeyedArchiverPythonFiles, ReadsAnArchiveOfAnIndependentWriter) {
  registerTestRecord();
  ox::KeyedUnarchiver u(file("independent.bin"));
  ASSERT_TRUE(u.isValid());
  EXPECT_EQ(u.decodeString(QStringLiteral("text")), QStringLiteral("shared text"));
  EXPECT_EQ(u.decodeInt64(QStringLiteral("number")), 12345678901LL);
  EXPECT_TRUE(u.containsValue(QStringLiteral("flag")));
  EXPECT_FALSE(u.decodeBool(QStringLiteral("flag")));
  const QVariantMap root = u.decodeMap(QStringLiteral("root"));
  ASSERT_EQ(root.keys(), (QStringList{"list", "sameList"}));
  const QVariantList list = root.value(QStringLiteral("list")).toList();
  ASSERT_EQ(list.size(), 8);
  EXPECT_EQ(list[0], (QVariantList{QStringLiteral("shared text"), -7, 2.5, false}));
  EXPECT_EQ(list[1], QStringLiteral("mutable \u00e9t\u00e9"));
  EXPECT_EQ(list[2], QByteArray("\x00\x01\xfe\xff", 4));
  EXPECT_FALSE(list[3].isValid());
  EXPECT_EQ(list[4], QDateTime::fromMSecsSinceEpoch(978307200000LL + 86400500LL, Qt::UTC));
  EXPECT_EQ(list[5], QUrl(QStringLiteral("http://127.0.0.1/a/b/c/d.txt")));
  auto record = ox::codingAs<TestRecord>(list[6]);
  ASSERT_TRUE(record);
  EXPECT_EQ(record, ox::codingAs<TestRecord>(list[7]));
  EXPECT_EQ(record->name, QStringLiteral("shared text"));
  EXPECT_EQ(record->count, 42);
  EXPECT_EQ(record->ratio, 0.25);
  EXPECT_TRUE(record->on);
  EXPECT_EQ(record->dollar, QStringLiteral("escaped"));
  // One UID decodes to one object: both dictionary entries hold the very same list, and neither lost anything.
  EXPECT_EQ(ox::codingAs<TestRecord>(root.value(QStringLiteral("sameList")).toList()[6]), record);
  EXPECT_TRUE(u.firstLoss().isEmpty()) << qPrintable(u.firstLoss());
  // Its root reaches every object, "$null" and the class descriptions included, whether decoded or not.
  EXPECT_TRUE(u.unreachedObjects().isEmpty()) << qPrintable(u.unreachedObjects());
  EXPECT_TRUE(ox::KeyedUnarchiver(file("independent.bin")).unreachedObjects().isEmpty());
  EXPECT_TRUE(ox::KeyedUnarchiver(file("nested_ok.bin")).decodeObject(QStringLiteral("root")).isValid());
  // Lists shared over and over within bounds: each reference reads the list, and it is written out for each again.
  ox::KeyedUnarchiver shared(file("fanout_ok.bin"));
  QVariant level = shared.decodeObject(QStringLiteral("root"));
  EXPECT_TRUE(shared.firstLoss().isEmpty());
  for (int i = 1; i < 10; ++i) {
    ASSERT_EQ(level.toList().size(), 2) << i;
    level = level.toList()[1];
  }
  EXPECT_TRUE(level.toList().isEmpty());
  const QJsonObject written = inspect(ox::archivedDataWithRootObject(shared.decodeObject(QStringLiteral("root"))));
  EXPECT_EQ(written["objectCount"].toInt(), 1023 + 2);  // and "$null" and the class
}

TEST_F(KeyedArchiverPythonFiles, HostileArchivesGiveAnEmptyResultAndOneLogLine) {
  for (const char* name : {"cyclic.bin", "two_cycle.bin", "deep_objects.bin", "bad_uid.bin", "wrong_kind.bin",
                           "unknown_class.bin", "nul_key.bin", "keyed_fanout.bin", "plist_deep.bin",
                           "plist_fanout.bin", "plist_cycle.bin"}) {
    ::testing::internal::CaptureStderr();
    ox::KeyedUnarchiver u(file(name));
    const QVariant root = u.decodeObject(QStringLiteral("root"));
    u.decodeObject(QStringLiteral("root"));
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(root.isValid()) << name;
    EXPECT_FALSE(u.isValid()) << name;
    EXPECT_TRUE(u.rootKeys().isEmpty()) << name;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << name << ": " << log;
  }
}

TEST(KeyedArchiver, TruncatedAndDamagedArchivesGiveAnEmptyResult) {
  const QByteArray good = ox::archivedDataWithRootObject(everyKind());
  ASSERT_TRUE(ox::unarchiveRootObject(good).isValid());
  ::testing::internal::CaptureStderr();
  for (qsizetype n = 0; n < good.size(); ++n)
    EXPECT_FALSE(ox::KeyedUnarchiver(good.left(n)).isValid()) << "cut at " << n;
  // Flips in the header and in the trailer's widths, object count, top object and offset table position.
  const qsizetype t = good.size() - 32;
  const struct {
    qsizetype at;
    int bit;
  } flips[] = {{0, 0}, {7, 1}, {t + 6, 0}, {t + 6, 2}, {t + 7, 3}, {t + 15, 6}, {t + 23, 4}, {t + 31, 7}};
  for (const auto& f : flips) {
    QByteArray bad = good;
    bad[f.at] = char(bad[f.at] ^ (1 << f.bit));
    EXPECT_FALSE(ox::unarchiveRootObject(bad).isValid()) << "flip at " << f.at;
  }
  ::testing::internal::GetCapturedStderr();
}

TEST(KeyedArchiver, WritesFilesAtomically) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("library.bin"));
  ASSERT_TRUE(ox::writeFileAtomically(path, "first"));
  ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
  ASSERT_TRUE(ox::writeFileAtomically(path, "second"));
  EXPECT_EQ(readFile(path), QByteArray("second"));
  struct stat st;
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // A target that cannot be replaced (a folder) or a missing folder: false, and what was there stays.
  const QString folder = dir.filePath(QStringLiteral("folder"));
  ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/inside")));
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(ox::writeFileAtomically(folder, "x"));
  EXPECT_FALSE(ox::writeFileAtomically(dir.filePath(QStringLiteral("missing/library.bin")), "x"));
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/inside")).isDir());
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("library.bin")});
}

}  // namespace
