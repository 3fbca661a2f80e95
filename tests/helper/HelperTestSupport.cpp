#include "tests/helper/HelperTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "core/OXLibrary.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/system/LoginItem.h"
#include "scanner/OXCoreLibrary.h"
#include "scanner/OXOmbrixAPI.h"
#include "tests/support/TestUtil.h"

namespace helpertest {
namespace {

// Each test process keeps its library, defaults and login items in folders of its own: the suite runs tests side by
// side, and the helper's library is the process-wide one under the XDG data folder.
struct ScratchHome {
  QTemporaryDir dir;
  ScratchHome() {
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
      const QString path = dir.filePath(QString::fromLatin1(name));
      QDir().mkpath(path);
      qputenv(name, path.toLocal8Bit());
    }
  }
};
const ScratchHome& scratchHome() {
  static ScratchHome home;
  return home;
}
[[maybe_unused]] const bool kScratchHomeReady = (scratchHome(), true);

// The panel makes the process's scan engine, which runs its cycles on threads of its own: they end before the
// process takes its singletons down, as the helper's termination has them end. The library's background saves end
// too, before the scratch home they write into is removed.
class EngineShutdown : public ::testing::Environment {
 public:
  void TearDown() override {
    OXCoreLibrary::shareCoreLibrary()->shutdown();
    OXLibrary::shareLibrary()->waitForSaves();
  }
};
[[maybe_unused]] ::testing::Environment* const kEngineShutdown =
    ::testing::AddGlobalTestEnvironment(new EngineShutdown);

}  // namespace

void FakeStatusItem::install(QRect geometry) {
  ox::StatusItem::setFactory([geometry](double length) {
    auto item = std::make_unique<FakeStatusItem>(length);
    item->where = geometry;
    return item;
  });
}

NotificationCounter::NotificationCounter(const QStringList& names) {
  for (const QString& name : names)
    tokens_.push_back(
        ox::NotificationCenter::defaultCenter().addObserver(name, nullptr, [this](const ox::Notification& n) {
          std::lock_guard hold(mutex_);
          seen_ << n.name;
        }));
}

NotificationCounter::~NotificationCounter() {
  for (const auto token : tokens_) ox::NotificationCenter::defaultCenter().removeObserver(token);
}

int NotificationCounter::count(const QString& name) const {
  std::lock_guard hold(mutex_);
  return int(seen_.count(name));
}

QProcessEnvironment programEnvironment() { return oxtest::programEnvironment(); }

void resetHelperState() {
  OXOmbrixAPI().logOut();
  OXOmbrixAPI().setEmail(QString());
  OXLibrary* library = OXLibrary::shareLibrary();
  library->clearLibrary();
  library->saveLibrary();
  for (const char* key : {"firstSetupDone", "controlAppleRemote", "refreshTime", "lastHashScanTimestamp",
                          "automaticallyChecksForUpdates", "automaticallyDownloadsUpdates"})
    ox::UserDefaults::remove(QString::fromLatin1(key));
  ox::LoginItem::removeFromLoginItems(QStringLiteral("Varnel.OmbrixHelper"));
}

std::shared_ptr<OXFile> fileAt(const QString& path, qint32 type) {
  auto file = OXFile::initWithType(type);
  file->setFilePath(path);
  return file;
}

std::shared_ptr<OXMovie> movieRecord(const QString& imdb, const QString& title, const QString& path) {
  auto movie = OXMovie::initWithDictionary({{"id", imdb}, {"fields", QVariantMap{{"title", title}, {"imdb", imdb}}}});
  if (!path.isEmpty()) movie->setFile(fileAt(path, OXFile::kTypeMovie));
  return movie;
}

std::shared_ptr<OXShow> showRecord(quint64 showID, const QString& title) {
  return OXShow::initWithDictionary({{"id", QStringLiteral("s_%1").arg(showID)},
                                     {"fields", QVariantMap{{"title", title}, {"showid", QString::number(showID)}}}});
}

std::shared_ptr<OXEpisode> episodeRecord(quint64 episodeID, quint64 showID, quint64 season, quint64 episode,
                                         const QString& path) {
  auto record = OXEpisode::initWithDictionary(
      {{"id", QStringLiteral("e_%1").arg(episodeID)},
       {"fields", QVariantMap{{"showid", QString::number(showID)}, {"season", QString::number(season)},
                              {"episode", QString::number(episode)}}}});
  record->setFile(fileAt(path, OXFile::kTypeEpisode));
  return record;
}

QStringList modelTitles(const QAbstractItemModel& model) {
  QStringList out;
  for (int row = 0; row < model.rowCount(); ++row) out << model.index(row, 0).data().toString();
  return out;
}

void writeVideoFile(const QString& path) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(5 * 1048576));
}

}  // namespace helpertest
