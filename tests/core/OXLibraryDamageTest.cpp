// What the store does with files it cannot take whole: damaged ones go aside before any save, unreadable ones stay
// and are never saved over, and what saves killed mid-write left behind is cleared.
#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QUtf8StringView>
#include <QTemporaryDir>
#include <cmath>
#include <limits>
#include <fcntl.h>
#include <linux/capability.h>
#include <random>
#include <sys/file.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include "core/OXLibrary.h"
#include "platform/foundation/BinaryPlistCheck.h"
#include "platform/foundation/BinaryPlistReader.h"
#include "platform/foundation/KeyedArchiver.h"
#include "tests/core/CorePrinters.h"
#include "tests/core/LibraryTestUtil.h"
#include "tests/support/TestUtil.h"

namespace {

using libtest::episode;
using libtest::file;
using libtest::movie;
using libtest::show;

// A library as a helper keeps it after a few cycles: folders, movies, a show with episodes, unknown files, the show
// cache, languages changed, streamer titles and their date.
QByteArray demoLibrary() {
  QTemporaryDir tmp;
  const auto library = OXLibrary::libraryWithSupportFolder(tmp.path());
  library->rootList()->addURLs({QUrl::fromLocalFile("/srv/Movies/")}, 1);
  library->rootList()->addURLs({QUrl::fromLocalFile("/srv/Shows/")}, 3);
  for (int i = 0; i < 3; ++i) {
    library->addContent(movie(QStringLiteral("tt011116%1").arg(i), QStringLiteral("/srv/Movies/Film.%1.mkv").arg(i)));
    library->addContent(episode(quint64(301 + i), 81189, QStringLiteral("/srv/Shows/Salt.Roads.S01E0%1.mkv").arg(i)));
  }
  const auto salt = show(81189);
  library->addContent(salt);
  library->setCachedShow("salt roads", salt);
  library->addUnknown(file(OXFile::kTypeMovie, "/srv/Movies/Home Video.mkv"));
  library->addUnknown(file(OXFile::kTypeEpisode, "/srv/Shows/Odd.S02E01.mkv"));
  library->changeSubtitleLanguages([](QVariantList& l) { l[1] = QVariantMap{{"LanguageName", "Bosnian"}, {"enable", true}}; });
  library->addStreamContent(OXMovie::initWithStreamerDictionary(
      {{"id", "tt2"}, {"title", "Long Harbour"}, {"links", QVariantList{"magnet:?xt=a"}}}));
  library->setLastStreamersUpdate(QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC));
  library->homeBackdropsUpdated();
  library->setListenSoundtracks(false);
  EXPECT_TRUE(library->saveLibrary());
  return libtest::readFile(library->pathWithFolder({}, "library.bin"));
}

// What a keyed archive holds, in one text, read as the store reads it: objects by class with their keys in any
// order, numbers by value (reals as floats, dates to the millisecond, as the records keep them). Two archives with
// the same text hold the same library. Empty when the bytes are no sound property list.
class ArchiveText {
 public:
  explicit ArchiveText(const QByteArray& bytes) : bytes_(bytes) {
    if (!ox::checkBinaryPlist(bytes).isEmpty()) return;
    reader_ = std::make_unique<ox::BinaryPlistReader>(bytes_);
    const auto root = reader_->container(reader_->top());
    Ref top = 0, objects = 0;
    if (reader_->type(reader_->top()) != Type::Dictionary || !reader_->find(root, "$top", top) ||
        !reader_->find(root, "$objects", objects) || reader_->type(objects) != Type::Array)
      return;
    objects_ = reader_->container(objects);
    text_ = value(top, 0);
  }
  QString text() const { return text_; }

 private:
  using Ref = ox::BinaryPlistReader::Ref;
  using Type = ox::BinaryPlistReader::Type;

  QString value(Ref ref, int depth) {
    if (depth > 64) return "?";
    const auto o = reader_->object(ref);
    switch (o.type) {
      case Type::Uid: {
        const quint64 uid = reader_->uid(o);
        if (uid == 0) return "nil";
        if (uid >= objects_.count) return "?";
        if (!known_.contains(uid)) {
          const QString text = value(reader_->element(objects_, uid), depth + 1);
          // Objects that reference others many times over expand without end: no library is like that.
          known_.insert(uid, text.size() > (1 << 20) ? QStringLiteral("?") : text);
        }
        return known_.value(uid);
      }
      case Type::Boolean:
        return QStringLiteral("n%1").arg(reader_->boolean(o) ? 1 : 0);
      case Type::Integer:
        return QStringLiteral("n%1").arg(reader_->integer(o));
      case Type::Real: {
        const float real = float(reader_->real(o));
        return real == std::trunc(real) && std::fabs(real) < 1e15f ? QStringLiteral("n%1").arg(qint64(real))
                                                                   : QStringLiteral("r%1").arg(double(real), 0, 'g', 9);
      }
      case Type::Text: {
        // As stored: ASCII text holding bytes that are no UTF-8 reads as other text than the file holds.
        const QByteArray ascii = *o.at >> 4 == 0x5 ? reader_->textUtf8(ref) : QByteArray();
        if (!QUtf8StringView(ascii).isValidUtf8()) return "x" + QString::fromLatin1(ascii.toHex());
        return "s" + reader_->text(o);
      }
      case Type::Data:
        return QStringLiteral("d%1").arg(qHash(reader_->data(o)));
      case Type::Array: {
        QStringList items;
        const auto c = reader_->container(o);
        for (quint64 i = 0; i < c.count; ++i) items << value(reader_->element(c, i), depth + 1);
        return "[" + items.join(",") + "]";
      }
      case Type::Dictionary:
        return dictionary(reader_->container(o), depth);
      default:
        return "?";
    }
  }
  QString dictionary(const ox::BinaryPlistReader::Container& dict, int depth) {
    QMap<QString, Ref> entries;
    const auto at = [&](const char* key) {
      return entries.contains(key) ? value(entries.value(key), depth) : QStringLiteral("nil");
    };
    for (quint64 i = 0; i < dict.count; ++i)
      entries.insert(reader_->text(reader_->key(dict, i)), reader_->value(dict, i));
    QString name;
    if (entries.contains("$class")) {
      const auto cls = reader_->object(entries.take("$class"));
      Ref classDict = 0, className = 0;
      if (cls.type == Type::Uid && reader_->uid(cls) < objects_.count &&
          reader_->type(classDict = reader_->element(objects_, reader_->uid(cls))) == Type::Dictionary &&
          reader_->find(reader_->container(classDict), "$classname", className))
        name = reader_->text(className);
    }
    if (name == "NSArray" || name == "NSMutableArray") return at("NS.objects");
    if (name == "NSString" || name == "NSMutableString") return at("NS.string");
    // A URL by the text it is stored as: one that reads as other text would be saved changed.
    if (name == "NSURL") return "u" + at("NS.base") + at("NS.relative");
    if (name == "NSDate") {
      const auto time = reader_->object(entries.value("NS.time"));
      const double seconds = time.type == Type::Real ? reader_->real(time) : double(reader_->integer(time));
      return QStringLiteral("t%1").arg(std::llround(seconds * 1000.0));
    }
    if (name == "NSDictionary" || name == "NSMutableDictionary") {
      const auto keys = reader_->object(entries.value("NS.keys"));
      const auto values = reader_->object(entries.value("NS.objects"));
      if (keys.type != Type::Array || values.type != Type::Array) return "?";
      QStringList items;
      const auto k = reader_->container(keys), v = reader_->container(values);
      for (quint64 i = 0; i < k.count && i < v.count; ++i)
        items << value(reader_->element(k, i), depth + 1) + "=" + value(reader_->element(v, i), depth + 1);
      items.sort();
      return "{" + items.join(",") + "}";
    }
    // A record reads nil, an empty list and zero alike.
    QStringList items;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
      const QString held = value(*it, depth + 1);
      items << it.key() + "=" + (held == "[]" || held == "n0" ? QStringLiteral("nil") : held);
    }
    // A file record without samples takes them afresh, whatever its flag says.
    if (name == "OXFile" && items.filter(QRegularExpression("^partialData.*=nil$")).size() == 3)
      items = items.filter(QRegularExpression("^(?!isHashDataEnable=)"));
    return "<" + name + " " + items.join(",") + ">";
  }

  QByteArray bytes_;
  std::unique_ptr<ox::BinaryPlistReader> reader_;
  ox::BinaryPlistReader::Container objects_;
  QHash<quint64, QString> known_;
  QString text_;
};

// The archive with its root key `key` naming what `other` names: one reference damaged, the property list still
// sound.
QByteArray withRootKeyNaming(const QByteArray& archive, const char* key, const char* other) {
  const ox::BinaryPlistReader plist(archive);
  ox::BinaryPlistReader::Ref top = 0;
  EXPECT_TRUE(plist.find(plist.container(plist.top()), "$top", top));
  const auto dict = plist.container(top);
  const unsigned width = uint8_t(archive[archive.size() - 32 + 7]);  // the trailer's reference size
  const auto slot = [&](const char* name) {
    for (quint64 i = 0; i < dict.count; ++i)
      if (plist.textEquals(plist.key(dict, i), name))
        return qsizetype(reinterpret_cast<const char*>(dict.refs) - archive.constData()) +
               qsizetype((dict.count + i) * width);
    ADD_FAILURE() << name;
    return qsizetype(0);
  };
  QByteArray bytes = archive;
  bytes.replace(slot(key), width, archive.mid(slot(other), width));
  return bytes;
}

// Runs `work` on a thread of its own that may not pass over file permissions, as a user's program may not: root's
// capabilities are per thread and are dropped there only.
void withoutPermissionOverride(const std::function<void()>& work) {
  std::thread([&] {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2] = {};
    if (::syscall(SYS_capget, &header, caps) == 0) {
      caps[0].effective &= ~(1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH);
      ::syscall(SYS_capset, &header, caps);
    }
    work();
  }).join();
}

class LibraryDamage : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
  std::shared_ptr<OXLibrary> open() { return OXLibrary::libraryWithSupportFolder(tmp.path()); }
  QString storePath(const QString& name = {}) const { return tmp.path() + "/Ombrix/" + name; }
  QStringList copiesAside(const QString& name) const {
    return QDir(storePath()).entryList({name + ".corrupt*"}, QDir::AllEntries | QDir::Hidden);
  }
  // Leaves a file in the store folder, last changed `when`.
  void leave(const QString& name, const QDateTime& when) {
    ASSERT_TRUE(libtest::writeFile(storePath(name), QByteArray(4096, 'x')));
    QFile f(storePath(name));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.setFileTime(when, QFileDevice::FileModificationTime));
  }
  QStringList storeFiles() const {
    return QDir(storePath()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
  }
  QTemporaryDir tmp;
};

// A helper starts on a damaged library and saves at once: each time either it took the library whole, or the bytes
// it could not take are kept aside, and never did the first save replace what it failed to read.
TEST_F(LibraryDamage, EveryDamagedLibraryLoadsWholeOrIsKeptAsideBeforeTheFirstSave) {
  const QByteArray demo = demoLibrary();
  ASSERT_FALSE(ArchiveText(demo).text().isEmpty());
  std::mt19937 rng(32);
  int whole = 0, aside = 0;
  QStringList lost;
  ::testing::internal::CaptureStderr();  // a log line for each damaged file
  for (int trial = 0; trial < 200; ++trial) {
    QByteArray bytes = demo;
    for (int edit = 1 + int(rng() % 3); edit > 0; --edit) {
      const qsizetype at = qsizetype(rng() % quint32(bytes.size()));
      bytes[at] = rng() % 4 == 0 ? char(rng()) : char(bytes[at] ^ (1 << (rng() % 8)));
    }
    QDir(storePath()).removeRecursively();
    ASSERT_TRUE(libtest::writeFile(storePath("library.bin"), bytes));
    open()->saveLibrary();
    const QStringList copies = copiesAside("library.bin");
    if (copies.size() == 1 && libtest::readFile(storePath(copies.first())) == bytes) {
      ++aside;
    } else if (copies.isEmpty() && ArchiveText(libtest::readFile(storePath("library.bin"))).text() ==
                                       ArchiveText(bytes).text()) {
      ++whole;
    } else {
      lost << QString::number(trial);
    }
  }
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(lost.isEmpty()) << "trials that lost what the file held: " << lost.join(' ').toStdString();
  EXPECT_GT(whole, 10);
  EXPECT_GT(aside, 100);
}

// One byte that leaves the archive sound but a text in it unreadable as stored: loaded, a folder would change (and the
// first scan drop what lies in it), a title or a poster be saved changed or not at all.
TEST_F(LibraryDamage, ATextOrAURLThatDoesNotReadAsStoredIsKeptAside) {
  const QByteArray demo = demoLibrary();
  const struct {
    const char* text;
    int at;
    char byte;
  } damage[] = {{"file:///srv/Movies/", 9, '\xe5'},  // no UTF-8
                {"file:///srv/Movies/", -1, '\0'},  // its length: an empty URL, which reads as no folder
                {"file:///srv/Movies/", 12, '\x16'},  // read as "%16"
                {"Quiet Orchard", 9, '\x82'},
                {"https://img.example/", 12, ':'}};  // a port that is no number
  ::testing::internal::CaptureStderr();
  for (const auto& d : damage) {
    const qsizetype at = demo.indexOf(d.text);
    ASSERT_GT(at, 0) << d.text;
    QByteArray bytes = demo;
    bytes[at + d.at] = d.byte;
    QDir(storePath()).removeRecursively();
    ASSERT_TRUE(libtest::writeFile(storePath("library.bin"), bytes));
    EXPECT_TRUE(open()->saveLibrary());
    EXPECT_TRUE(libtest::readFile(storePath("library.bin.corrupt")) == bytes) << d.text << " " << d.at;
  }
  ::testing::internal::GetCapturedStderr();
}

// A reference that names another object of the right kind reads as a smaller library: the movie list naming the
// empty list of streamer shows leaves the movies reached from nothing; a language's switch or a watched ratio naming
// a text reads as on or as unwatched, an entry of the ratios naming another title's code as that title. The store
// writes nothing its root does not reach, nor such values: the file goes aside whole.
TEST_F(LibraryDamage, AReferenceNamingAnotherObjectIsKeptAside) {
  const QByteArray demo = demoLibrary();
  const QByteArray flipped = withRootKeyNaming(demo, "movieList", "showsStreamers");
  ASSERT_TRUE(libtest::writeFile(storePath("library.bin"), flipped));
  ::testing::internal::CaptureStderr();
  auto library = open();
  const QString log = QString::fromStdString(::testing::internal::GetCapturedStderr());
  EXPECT_TRUE(log.contains("reached from nothing")) << log.toStdString();
  EXPECT_TRUE(library->isLibraryEmpty());
  EXPECT_TRUE(library->saveLibrary());
  EXPECT_EQ(libtest::readFile(storePath("library.bin.corrupt")), flipped);

  const auto language = [](const char* key, const QVariant& value) {
    return ox::archivedDataWithRootObject(QVariantList{QVariantMap{{"LanguageName", "English"}, {key, value}}},
                                          "subtitleLanguages");
  };
  const auto ratio = [](const char* key, const QVariant& type, const QVariant& value, const QVariant& ratio) {
    return ox::archivedDataWithRootObject(
        QVariantMap{{key, QVariantMap{{"type", type}, {"value", value}, {"ratio", ratio}}}}, "ratioList");
  };
  const struct {
    const char* file;
    QByteArray bytes;
  } damaged[] = {
      {"library.bin", language("enable", "rating")},
      {"library.bin", language("Chinese", false)},
      {"ratios.bin", ratio("imdbCode|tt1", "imdbCode", "tt1", "rating")},
      {"ratios.bin", ratio("imdbCode|tt1", "imdbCode", "tt2", 0.5)},
      {"ratios.bin", ratio("episodeID|7", "episodeID", true, 0.5)},
      {"ratios.bin", ratio("episodeID|7", "ratioList", 7, 0.5)},
  };
  for (const auto& d : damaged) {
    QDir(storePath()).removeRecursively();
    ASSERT_TRUE(libtest::writeFile(storePath(d.file), d.bytes));
    ::testing::internal::CaptureStderr();
    open();
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(libtest::readFile(storePath(QString(d.file) + ".corrupt")), d.bytes) << d.file;
  }
}

// A watched-ratio entry without its ratio reads as unwatched and costs the others nothing: the file is taken whole and
// saved back with every entry as it was. A flipped byte in the one "ratio" text the entries share renames the key in
// all of them: that file goes aside.
TEST_F(LibraryDamage, ARatioEntryWithoutItsRatioReadsUnwatchedAndCostsNothingElse) {
  const QVariantMap watched{{"imdbCode|tt1", QVariantMap{{"type", "imdbCode"}, {"value", "tt1"}, {"ratio", 0.5}}},
                            {"episodeID|7", QVariantMap{{"type", "episodeID"}, {"value", 7}, {"ratio", 1.0}}}};
  for (const QVariantMap& lacking : {QVariantMap{{"type", "imdbCode"}, {"value", "tt2"}}, QVariantMap{}}) {
    QDir(storePath()).removeRecursively();
    QVariantMap ratios = watched;
    ratios.insert("imdbCode|tt2", lacking);
    ASSERT_TRUE(libtest::writeFile(storePath("ratios.bin"), ox::archivedDataWithRootObject(ratios, "ratioList")));
    open()->setRatioForIMDB(0.25f, "tt3");
    EXPECT_TRUE(copiesAside("ratios.bin").isEmpty());
    const auto library = open();
    EXPECT_FLOAT_EQ(library->ratioForIMDB("tt1"), 0.5f);
    EXPECT_FLOAT_EQ(library->ratioForEpisodeID(7), 1.f);
    EXPECT_FLOAT_EQ(library->ratioForIMDB("tt3"), 0.25f);
    EXPECT_EQ(library->ratioForIMDB("tt2"), 0.f);
    EXPECT_EQ(library->ratioList().value("imdbCode|tt2"), lacking);
  }

  QByteArray renamed = ox::archivedDataWithRootObject(watched, "ratioList");
  const qsizetype at = renamed.indexOf("\x55ratio");
  ASSERT_GT(at, 0);
  ASSERT_EQ(renamed.indexOf("\x55ratio", at + 1), -1);
  renamed[at + 2] = 'b';
  QDir(storePath()).removeRecursively();
  ASSERT_TRUE(libtest::writeFile(storePath("ratios.bin"), renamed));
  ::testing::internal::CaptureStderr();
  open();
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(libtest::readFile(storePath("ratios.bin.corrupt")), renamed);
}

// Whatever the store writes it takes whole again, and none of it goes aside: an empty library, every kind of record
// (a show both listed and cached, streamer titles of each kind, unknown files of both kinds), and the ratios.
TEST_F(LibraryDamage, EveryFileTheStoreWritesLoadsWhole) {
  ASSERT_TRUE(open()->saveLibrary());
  EXPECT_EQ(open()->subtitleLanguages().size(), 33);
  ASSERT_TRUE(libtest::writeFile(storePath("library.bin"), demoLibrary()));
  {
    const auto library = open();
    library->addStreamContent(OXShow::initWithStreamerDictionary({{"id", 7}, {"title", "Tide"}}));
    library->addStreamContent(OXEpisode::initWithStreamerDictionary({{"id", 70}, {"showid", 7}}));
    library->addContent(movie("tt3", {}));
    library->setRatioForIMDB(0.42f, "tt0111160");
    library->setRatioEpisodeID(1.f, 301);
    library->setRatioEpisodeID(0.f, std::numeric_limits<quint64>::max());
    ASSERT_TRUE(library->saveLibrary());
  }
  const QByteArray saved = libtest::readFile(storePath("library.bin"));
  const auto library = open();
  EXPECT_EQ(library->movieList().size(), 4);
  EXPECT_EQ(library->episodeList().size(), 3);
  EXPECT_EQ(library->unknownMovieList().size() + library->unknownEpisodeList().size(), 2);
  EXPECT_EQ(library->showsToStreams().size() + library->episodesToStreams().size(), 2);
  EXPECT_FLOAT_EQ(library->ratioForIMDB("tt0111160"), 0.42f);
  EXPECT_EQ(library->ratioList().size(), 3);
  ASSERT_TRUE(library->saveLibrary());
  EXPECT_EQ(ArchiveText(libtest::readFile(storePath("library.bin"))).text(), ArchiveText(saved).text());
  EXPECT_TRUE(copiesAside("library.bin").isEmpty());
  EXPECT_TRUE(copiesAside("ratios.bin").isEmpty());
}

// Ombrix's "ratios.bin" copied over "library.bin" is a sound archive, but none of the library's: saving over it would
// lose it.
TEST_F(LibraryDamage, AnArchiveOfAnotherKindInTheLibrarysPlaceIsKeptAside) {
  const QByteArray ratios = ox::archivedDataWithRootObject(QVariantMap{{"imdbCode|tt1", QVariantMap{{"ratio", 0.5}}}},
                                                           "ratioList");
  ASSERT_TRUE(libtest::writeFile(storePath("library.bin"), ratios));
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(open()->saveLibrary());
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(libtest::readFile(storePath("library.bin.corrupt")), ratios);
}

// A store file there but not readable is no damage: it stays where it is, the store says why, and saves leave it
// alone, so the library comes back whole once it can be read again.
TEST_F(LibraryDamage, AFileThatCannotBeReadStaysAndIsNeverSavedOver) {
  const QByteArray demo = demoLibrary();
  const QByteArray ratios = ox::archivedDataWithRootObject(QVariantMap{{"imdbCode|tt1", QVariantMap{{"ratio", 0.5}}}},
                                                           "ratioList");
  ASSERT_TRUE(libtest::writeFile(storePath("library.bin"), demo));
  ASSERT_TRUE(libtest::writeFile(storePath("ratios.bin"), ratios));
  for (const char* name : {"library.bin", "ratios.bin"})
    ASSERT_TRUE(QFile::setPermissions(storePath(name), QFileDevice::Permissions()));
  bool refused = false, saved = true, ratioSaved = true;
  QString log;
  withoutPermissionOverride([&] {
    refused = ::open(QFile::encodeName(storePath("library.bin")).constData(), O_RDONLY) < 0;
    if (!refused) return;
    ::testing::internal::CaptureStderr();
    const auto library = open();
    EXPECT_TRUE(library->isLibraryEmpty());
    library->addContent(movie("tt9", "/srv/Movies/New.mkv"));
    saved = library->saveLibrary();
    library->setRatioForIMDB(1.f, "tt9");
    ratioSaved = library->saveRatios();
    log = QString::fromStdString(::testing::internal::GetCapturedStderr());
  });
  if (!refused) GTEST_SKIP() << "this system lets every thread read a file without permission";
  EXPECT_FALSE(saved);
  EXPECT_FALSE(ratioSaved);
  EXPECT_TRUE(log.contains("library.bin cannot be read (Permission denied)")) << log.toStdString();
  EXPECT_TRUE(copiesAside("library.bin").isEmpty());
  EXPECT_TRUE(copiesAside("ratios.bin").isEmpty());
  for (const char* name : {"library.bin", "ratios.bin"})
    ASSERT_TRUE(QFile::setPermissions(storePath(name), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
  EXPECT_EQ(libtest::readFile(storePath("library.bin")), demo);
  EXPECT_EQ(libtest::readFile(storePath("ratios.bin")), ratios);
  const auto library = open();
  EXPECT_EQ(library->movieList().size(), 3);
  EXPECT_EQ(library->ratioForIMDB("tt1"), 0.5f);
}

// Saves killed mid-write leave ".library.bin.saving-XXXXXX" files; the store clears its own when it opens, but not one
// a writer still holds or has only just made.
TEST_F(LibraryDamage, TemporariesOfSavesThatNeverEndedAreRemovedWhenTheStoreOpens) {
  const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
  leave(".library.bin.saving-a1B2c3", hourAgo);
  leave(".library.bin.saving-Z9y8X7", hourAgo);
  leave(".ratios.bin.saving-q0W9e8", hourAgo);
  leave(".library.bin.saving-fresh1", QDateTime::currentDateTime());
  leave(".library.bin.saving-held42", hourAgo);
  const int held = ::open(QFile::encodeName(storePath(".library.bin.saving-held42")).constData(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  ::testing::internal::CaptureStderr();
  open();
  ::testing::internal::GetCapturedStderr();
  ::close(held);
  EXPECT_EQ(storeFiles(), QStringList({".library.bin.saving-fresh1", ".library.bin.saving-held42"}));
}

// Copies people keep beside the library, whatever their names, and what the store cannot prove it wrote (the earlier
// temporaries, named as such copies are; a link or a folder named as its temporaries are) stay when it opens.
TEST_F(LibraryDamage, FilesTheStoreDidNotWriteStayWhenItOpens) {
  const QDateTime dayAgo = QDateTime::currentDateTime().addDays(-1);
  QStringList names{"library.bin.Backup", "library.bin.old123", "library.bin.2024v1", "library.bin.backup",
                    "library.bin.a1B2c3", "ratios.bin.Q0w9E8", ".library.bin.saving-", ".library.bin.saving-a1B2c3d",
                    "library.bin.saving-a1B2c3", ".library.bin.saving-a1B2c3.old"};
  for (const QString& name : names) leave(name, dayAgo);
  ASSERT_EQ(::symlink("library.bin.Backup", QFile::encodeName(storePath(".library.bin.saving-L1nk00")).constData()), 0);
  ASSERT_TRUE(QDir().mkpath(storePath(".ratios.bin.saving-F0lder")));
  names << ".library.bin.saving-L1nk00";
  // Another user's file, where this test may give one away.
  leave(".library.bin.saving-0ther1", dayAgo);
  if (::lchown(QFile::encodeName(storePath(".library.bin.saving-0ther1")).constData(), 65534, 65534) == 0)
    names << ".library.bin.saving-0ther1";
  else
    QFile::remove(storePath(".library.bin.saving-0ther1"));
  open();
  names.sort();
  EXPECT_EQ(storeFiles(), names);
  EXPECT_TRUE(QFileInfo(storePath(".ratios.bin.saving-F0lder")).isDir());
}

// Archivers that share equal objects write one empty list for every record that holds none, one genre list for films
// of the same genres, one dictionary for equal entries: such a library loads whole, and saved again holds the same.
TEST_F(LibraryDamage, ALibraryWhoseRecordsShareListsLoadsWhole) {
  const QByteArray demo = demoLibrary();
  ASSERT_TRUE(libtest::writeFile(storePath("library.bin"), demo));
  QByteArray shares, err;
  ASSERT_EQ(oxtest::runPython(oxtest::sourcePath("tests/core/fixtures/share_equal_objects.py"),
                              {storePath("library.bin")}, &shares, &err),
            0)
      << err.constData();
  EXPECT_GE(shares.trimmed().toInt(), 2);
  const QByteArray shared = libtest::readFile(storePath("library.bin"));
  ASSERT_EQ(ArchiveText(shared).text(), ArchiveText(demo).text());

  const auto library = open();
  EXPECT_TRUE(copiesAside("library.bin").isEmpty());
  ASSERT_EQ(library->movieList().size(), 3);
  for (const auto& m : library->movieList()) {
    EXPECT_EQ(m->genres(), QStringList{"Drama"});
    EXPECT_TRUE(m->trailers().isEmpty());
  }
  EXPECT_EQ(library->episodeList().size(), 3);
  EXPECT_EQ(library->subtitleLanguages().size(), 33);
  ASSERT_TRUE(library->saveLibrary());
  EXPECT_EQ(ArchiveText(libtest::readFile(storePath("library.bin"))).text(), ArchiveText(demo).text());
}

// A library that grew past 4 GiB (samples of matched files take 3 MiB each) is read as the writer lays it out, with
// 8-byte offsets, and mapped rather than copied. Here the records lie beyond a hole of 4 GiB.
TEST_F(LibraryDamage, ALibraryPastFourGibibytesLoadsWhole) {
  const QByteArray demo = demoLibrary();
  const auto* trailer = reinterpret_cast<const uint8_t*>(demo.constData() + demo.size() - 32);
  const unsigned width = trailer[6];
  const quint64 count = ox::BinaryPlistReader::bigEndian(trailer + 8, 8);
  const quint64 table = ox::BinaryPlistReader::bigEndian(trailer + 24, 8);
  const quint64 hole = (quint64(4) << 30) + 4096;
  QByteArray tail = demo.mid(8, qsizetype(table - 8));
  const auto put8 = [&](quint64 value) {
    for (int shift = 56; shift >= 0; shift -= 8) tail.append(char(value >> shift));
  };
  const auto* offsets = reinterpret_cast<const uint8_t*>(demo.constData()) + table;
  for (quint64 i = 0; i < count; ++i) put8(ox::BinaryPlistReader::bigEndian(offsets + i * width, width) + hole);
  tail.append(QByteArray(6, '\0')).append(char(8)).append(char(trailer[7]));
  put8(count);
  put8(ox::BinaryPlistReader::bigEndian(trailer + 16, 8));
  put8(table + hole);
  QDir().mkpath(storePath());
  QFile big(storePath("library.bin"));
  ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.write("bplist00") == 8 && big.seek(qint64(8 + hole)) &&
              big.write(tail) == tail.size());
  big.close();
  ASSERT_GT(QFileInfo(big).size(), qint64(4) << 30);

  const auto library = open();
  EXPECT_EQ(library->movieList().size(), 3);
  EXPECT_EQ(library->episodeList().size(), 3);
  EXPECT_EQ(library->rootList()->moviePaths(), QList<QUrl>{QUrl::fromLocalFile("/srv/Movies/")});
  EXPECT_TRUE(copiesAside("library.bin").isEmpty());
}

}  // namespace
