#include "tools/frames/SectionScenes.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include "app/OXStreamersEpisodeView.h"
#include "app/OXStreamersMoviesView.h"
#include "app/OXStreamersShowsView.h"
#include "app/OXTrailers.h"
#include "app/ShowsView.h"
#include "core/OXLibrary.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/Transaction.h"
#include "platform/ui/Button.h"
#include "tools/frames/Scenes.h"

namespace sections {
namespace {

const QSize kScreen(1920, 1080);

void spin(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Painted pictures in the helper's caches, under the names the records' addresses give.
QVariantMap pictures(const QString& library, const QString& key, int index, const QString& title) {
  const QString store = QDir(library).filePath("Ombrix");
  QDir().mkpath(store + "/posters");
  QDir().mkpath(store + "/backdrops");
  scenes::paintPoster(500, 740, index, title).save(store + "/posters/" + key + ".png");
  scenes::paintBackdrop(1920, 1080, index + 3).save(store + "/backdrops/" + key + ".jpg", "JPG", 90);
  return {{"title", title},
          {"poster", "http://127.0.0.1:9/original/" + key + ".png"},
          {"image", "http://127.0.0.1:9/original/" + key + ".jpg"}};
}

// What was set moving has arrived: the views' delays, then their layers' animations.
void settle() {
  ox::DelayedCall::advanceManualTime(1);
  ox::Transaction::flush();
  ox::LayerClock::advance(1);
}

template <class View>
std::shared_ptr<View> settledView() {
  auto view = std::make_shared<View>(QRectF(QPointF(0, 0), kScreen));
  view->setupLayers();
  spin([&] { return view->pendingPosters() == 0; }, 20000);
  spin([] { return false; }, 100);  // the last pictures come through the main queue
  settle();
  return view;
}

QImage render(const std::vector<ox::LayerPtr>& layers) {
  QImage img(kScreen, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::black);
  QPainter p(&img);
  ox::Renderer renderer;
  for (const ox::LayerPtr& l : layers) renderer.render(p, l, QSizeF(kScreen), ox::LayerClock::now());
  p.end();
  return img;
}

}  // namespace

void showsAndEpisodes(const QString& library, const Save& save) {
  QTemporaryDir films;
  const QStringList titles = {"Lantern Street", "Orbit Station", "The Quiet Neighbours", "Tom & Jerome"};
  const QStringList genres[] = {{"Drama", "Crime"}, {"Sci-Fi"}, {"Comedy"}, {"Comedy", "Family"}};
  for (int i = 0; i < titles.size(); ++i) {
    const quint64 id = 810 + quint64(i);
    QVariantMap fields = pictures(library, QStringLiteral("s%1").arg(id), i + 1, titles[i]);
    fields.insert("showid", QString::number(id));
    fields.insert("genre", genres[i]);
    fields.insert("rating", 7 + i * 0.5);
    fields.insert("runtime", 22 + i * 11);
    OXLibrary::shareLibrary()->addContent(OXShow::initWithDictionary({{"id", QStringLiteral("s_%1").arg(id)},
                                                                       {"fields", fields}}));
    // The second show's files are gone: it is veiled.
    for (quint64 n = 1; n <= (i == 0 ? 6 : 2); ++n) {
      const quint64 episode = id * 100 + n;
      auto e = OXEpisode::initWithStreamerDictionary({{"id", episode}, {"showid", id}, {"season", n <= 4 ? 1 : 2},
                                                      {"episode", n <= 4 ? n : n - 4},
                                                      {"title", QStringLiteral("Chapter %1").arg(n)}});
      auto file = OXFile::initWithType(OXFile::kTypeEpisode);
      file->setFilePath(films.filePath(QStringLiteral("%1.mkv").arg(episode)));
      if (i != 1) QFile(file->filePath()).open(QIODevice::WriteOnly);
      e->setFile(file);
      OXLibrary::shareLibrary()->addContent(e);
    }
  }
  OXLibrary::shareLibrary()->setRatioEpisodeID(1.0f, 81001);
  OXLibrary::shareLibrary()->setRatioEpisodeID(0.5f, 81002);
  auto shows = settledView<ShowsView>();
  shows->moveRight();
  settle();
  save(render({shows->layer()}), "shows.png");

  shows->moveLeft();
  ox::DelayedCall::advanceManualTime(1);
  shows->keyPlay();
  auto episodes = shows->episodeView();
  if (!episodes) return;
  const auto& tiles =
      episodes->episodesMenu()->layerValue("currentSeasonLayer")->layerValue("episodeListLayer")->sublayers();
  for (std::size_t i = 0; i < tiles.size(); ++i)
    tiles[i]->layerValue("frameImageLayer")->setContents(scenes::paintBackdrop(640, 360, 30 + int(i)));
  ox::DelayedCall::advanceManualTime(EpisodeView::kIntroDelay);
  ox::Transaction::flush();
  ox::LayerClock::advance(1);
  ox::Transaction::flush();
  save(render({shows->layer(), episodes->layer()}), "episode_view.png");
}

void trailers(const QString& library, const Save& save) {
  const QStringList titles = {"Café Noël", "Ember Falls", "Harbour Lights", "Northbound Static", "Small Hours",
                              "The Forty Clocks", "The Glass Harbour"};
  const QStringList genres[] = {{"Comedy", "Drama"}, {"Western"}, {"Crime", "Thriller"}, {"Sci-Fi"}, {"Thriller"},
                                {"Fantasy"}, {"Drama", "Mystery"}};
  QVariantList hits;
  for (int i = 0; i < titles.size(); ++i) {
    const QString code = QStringLiteral("tt90001%1").arg(i, 2, 10, QLatin1Char('0'));
    QVariantMap fields = pictures(library, code, i + 20, titles[i]);
    fields.insert("genre", genres[i]);
    fields.insert("trailers", QStringList{"http://127.0.0.1:9/trailers/" + code + ".mp4"});
    hits << QVariantMap{{"id", code}, {"fields", fields}};
  }
  ox::writeFileAtomically(OXLibrary::shareLibrary()->pathWithFolder("Trailers", "trailers_en.ox"),
                          ox::archivedDataWithRootObject(hits, "listS3"));
  auto view = settledView<OXTrailers>();
  for (int i = 0; i < 3; ++i) view->moveRight();
  settle();
  save(render({view->layer()}), "trailers.png");

  // "Action & Mistery": the crime and thriller titles only, the selection kept on the one it was on.
  for (std::size_t i = 0; i < view->filtersArray().size(); ++i)
    if (view->filtersArray()[i].title == "Action & Mistery") view->filterApply(ox::Button(QString(), qint64(i)));
  settle();
  save(render({view->layer()}), "trailers_filtered.png");
}

void streamers(const QString& library, const Save& save) {
  const QStringList titles = {"Night Ferry", "Amber Coast", "The Quiet Orchard", "Salt Roads", "Winter Signal"};
  for (int i = 0; i < titles.size(); ++i) {
    // As a plug-in hands a title over: its links, and pictures the helper has cached.
    const QString code = QStringLiteral("tt91000%1").arg(i, 2, 10, QLatin1Char('0'));
    QVariantMap entry = pictures(library, code, i + 40, titles[i]);
    entry.insert("id", code);
    entry.insert("genre", QStringList{"Thriller", "Drama"});
    entry.insert("runtime", 101 + i * 6);
    entry.insert("links", QStringList{"magnet:?xt=urn:btih:" + code});
    OXLibrary::shareLibrary()->addStreamContent(OXMovie::initWithStreamerDictionary(entry));
  }
  auto view = settledView<OXStreamersMoviesView>();
  view->moveRight();
  view->moveRight();
  settle();
  save(render({view->layer()}), "streamers_movies.png");

  // The splash screen while the stream connects, its status line as the stream driver writes it.
  view->showSplashScreen();
  ox::Transaction::flush();
  ox::LayerClock::advance(1);
  ox::Transaction::flush();
  view->textLoadingPlayer()->setString(QStringLiteral("Connected to 12 peers"));
  view->textLoadingPlayer()->setForegroundColor(Qt::white);
  ox::Transaction::flush();
  ox::LayerClock::advance(1);
  save(render({view->layer()}), "streamers_connecting.png");

  // The plug-ins' shows, then one show's streamed episodes, then the splash of an episode's stream.
  const QStringList showTitles = {"Harbour Lights", "Lantern Street", "Paper Moons"};
  for (int i = 0; i < showTitles.size(); ++i) {
    const quint64 id = 920 + quint64(i);
    QVariantMap entry = pictures(library, QStringLiteral("s%1").arg(id), i + 50, showTitles[i]);
    entry.insert("id", id);
    entry.insert("genre", QStringList{"Drama"});
    OXLibrary::shareLibrary()->addStreamContent(OXShow::initWithStreamerDictionary(entry));
    for (quint64 n = 1; n <= 5; ++n)
      OXLibrary::shareLibrary()->addStreamContent(OXEpisode::initWithStreamerDictionary(
          {{"id", id * 100 + n}, {"showid", id}, {"season", 1}, {"episode", n},
           {"title", QStringLiteral("Crossing %1").arg(n)},
           {"links", QStringList{QStringLiteral("magnet:?xt=urn:btih:%1").arg(id * 100 + n)}}}));
  }
  auto shows = settledView<OXStreamersShowsView>();
  shows->moveRight();
  settle();
  save(render({shows->layer()}), "streamers_shows.png");

  shows->keyPlay();
  auto episodes = std::dynamic_pointer_cast<OXStreamersEpisodeView>(shows->episodeView());
  if (!episodes) return;
  const auto& tiles =
      episodes->episodesMenu()->layerValue("currentSeasonLayer")->layerValue("episodeListLayer")->sublayers();
  for (std::size_t i = 0; i < tiles.size(); ++i)
    tiles[i]->layerValue("frameImageLayer")->setContents(scenes::paintBackdrop(640, 360, 60 + int(i)));
  episodes->moveRight();
  ox::DelayedCall::advanceManualTime(EpisodeView::kIntroDelay);
  ox::Transaction::flush();
  ox::LayerClock::advance(1);
  ox::Transaction::flush();
  save(render({shows->layer(), episodes->layer()}), "streamers_episodes.png");

  // Play: the splash comes in; the stream itself would start once the play delay is over, which it never is here.
  episodes->playEpisodeWithRatio(0);
  ox::Transaction::flush();
  ox::LayerClock::advance(1);
  ox::Transaction::flush();
  episodes->textLoadingPlayer()->setString(QStringLiteral("Connected to 7 peers"));
  episodes->textLoadingPlayer()->setForegroundColor(Qt::white);
  ox::Transaction::flush();
  ox::LayerClock::advance(1);
  save(render({shows->layer(), episodes->layer()}), "streamers_episode_connecting.png");
}

}  // namespace sections
