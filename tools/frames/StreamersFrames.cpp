#include "tools/frames/StreamersFrames.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include "app/OXStreamersMoviesView.h"
#include "core/OXLibrary.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/Transaction.h"
#include "tools/frames/Scenes.h"

namespace {

const QSizeF kScreen(1920, 1080);

void spinFor(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Everything set moving has arrived: the views' delays, then the layers' animations.
void settle(double seconds) {
  ox::DelayedCall::advanceManualTime(seconds);
  ox::Transaction::flush();
  ox::LayerClock::advance(seconds);
  ox::Transaction::flush();
}

QImage render(const ox::LayerPtr& root) {
  static ox::Renderer renderer;
  return renderer.renderToImage(root, kScreen.toSize(), ox::LayerClock::now(), Qt::black);
}

}  // namespace

void streamersFrames(const QString& library, const SaveFrame& save) {
  const QStringList titles = {"Night Ferry", "Amber Coast", "The Quiet Orchard", "Salt Roads", "Winter Signal"};
  const QString posters = QDir(library).filePath("Ombrix/posters");
  const QString backdrops = QDir(library).filePath("Ombrix/backdrops");
  QDir().mkpath(posters);
  QDir().mkpath(backdrops);
  for (int i = 0; i < titles.size(); ++i) {
    // As a plug-in hands a title over: its links, and the pictures the helper has cached.
    const QString code = QStringLiteral("tt71000%1").arg(i, 2, 10, QLatin1Char('0'));
    scenes::paintPoster(500, 740, i + 3, titles[i]).save(QDir(posters).filePath(code + ".png"));
    scenes::paintBackdrop(1920, 1080, i + 4).save(QDir(backdrops).filePath(code + ".jpg"), "JPG", 90);
    OXLibrary::shareLibrary()->addStreamContent(OXMovie::initWithStreamerDictionary(
        {{"id", code},
         {"title", titles[i]},
         {"genre", QStringList{"Thriller", "Drama"}},
         {"rating", 6.5 + i * 0.5},
         {"runtime", 101 + i * 6},
         {"poster", "http://127.0.0.1:9/original/" + code + ".png"},
         {"image", "http://127.0.0.1:9/original/" + code + ".jpg"},
         {"links", QStringList{"magnet:?xt=urn:btih:" + code}}}));
  }
  OXLibrary::shareLibrary()->setListenSoundtracks(false);
  ox::DelayedCall::useManualTime(true);
  auto view = std::make_shared<OXStreamersMoviesView>(QRectF(QPointF(0, 0), kScreen));
  view->setupLayers();
  for (QElapsedTimer t; !t.isValid() || (view->pendingPosters() != 0 && t.elapsed() < 20000);) {
    if (!t.isValid()) t.start();
    spinFor(20);
  }
  spinFor(100);  // the last pictures come through the main queue
  view->moveRight();
  view->moveRight();
  settle(1);
  save(render(view->layer()), "streamers_movies.png");

  // The splash screen while the stream connects, its status line as the stream driver writes it.
  view->showSplashScreen();
  settle(1);
  view->textLoadingPlayer()->setString(QStringLiteral("Connected to 12 peers"));
  view->textLoadingPlayer()->setForegroundColor(Qt::white);
  settle(1);
  save(render(view->layer()), "streamers_connecting.png");
  ox::DelayedCall::useManualTime(false);
}
