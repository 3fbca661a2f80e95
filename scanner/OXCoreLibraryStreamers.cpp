// Streamer titles: every three days each plug-in of the "streamers" folder hands over its catalogue as JSON texts;
// the entries that carry their type's keys replace the store's three streamer lists.
#include <QDateTime>

#include "core/OXEpisode.h"
#include "core/OXMovie.h"
#include "core/OXShow.h"
#include "core/OXStreamerPlugin.h"
#include "scanner/OXCoreLibrary.h"
#include "platform/foundation/Json.h"

namespace {

// An object decoded from one JSON text; none for a text that does not decode to an object.
QVariant decodeObject(const QString& text) { return ox::jsonObject(text.toUtf8()); }

}  // namespace

bool OXCoreLibrary::checkFormat(const QVariant& value, int type) {
  static const QStringList movieKeys = {"genre", "id", "image", "links", "poster",
                                        "rating", "runtime", "soundtrack", "title", "year"};
  static const QStringList showKeys = {"id", "title", "genre", "poster", "image", "image_ipad",
                                       "rating", "runtime", "soundtrack", "year", "episodes"};
  static const QStringList episodeKeys = {"episode", "season", "title", "image", "links", "showid"};
  const QStringList* keys = type == 1 ? &movieKeys : type == 2 ? &showKeys : type == 3 ? &episodeKeys : nullptr;
  if (!keys) return true;
  if (value.typeId() != QMetaType::QVariantMap) return false;
  const QVariantMap object = value.toMap();
  for (const QString& key : *keys)
    if (!object.contains(key)) return false;
  return true;
}

void OXCoreLibrary::updateStreamers() {
  const QDateTime last = library_->lastStreamersUpdate();
  const QDateTime now = QDateTime::currentDateTimeUtc();
  if (last.isValid() && last.msecsTo(now) <= 259200LL * 1000) return;
  ox::NotificationCenter::defaultCenter().post(kScanningState);
  library_->setLastStreamersUpdate(now);

  QStringList movies, shows;
  for (const QString& path :
       OXLibrary::getAllStreamerFilesFromPath(library_->pathWithFolder(QStringLiteral("streamers"), {}))) {
    const auto plugin = OXStreamerPlugin::bundleWithPath(path);
    if (!plugin || !plugin->initializeClass(path)) continue;
    const OXStreamerPlugin::Instance instance = plugin->plugin();
    if (instance.isValid()) {
      movies << instance.getMovieList();
      shows << instance.getShowList();
    }
    plugin->terminate();
  }

  library_->clearStreamsData();
  for (const QString& text : movies) {
    const QVariant value = decodeObject(text);
    if (checkFormat(value, 1))
      if (auto movie = OXMovie::initWithStreamerDictionary(value.toMap())) library_->addStreamContent(movie);
  }
  for (const QString& text : shows) {
    const QVariant value = decodeObject(text);
    if (!checkFormat(value, 2)) continue;
    if (auto show = OXShow::initWithStreamerDictionary(value.toMap())) library_->addStreamContent(show);
    const QVariant episodes = value.toMap().value(QStringLiteral("episodes"));
    if (episodes.typeId() != QMetaType::QVariantList) continue;
    for (const QVariant& element : episodes.toList()) {
      if (element.typeId() != QMetaType::QString) continue;
      const QVariant episode = decodeObject(element.toString());
      if (checkFormat(episode, 3))
        if (auto record = OXEpisode::initWithStreamerDictionary(episode.toMap())) library_->addStreamContent(record);
    }
  }
  library_->saveLibrary();
  ox::NotificationCenter::defaultCenter().post(kStopScanningState);
}
