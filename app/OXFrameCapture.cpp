#include "app/OXFrameCapture.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <cstdio>
#include <memory>

#include "platform/foundation/Log.h"
#include "platform/foundation/MainQueue.h"
#include "platform/layers/LayerClock.h"
#include "platform/ui/Application.h"
#include "platform/ui/WindowServer.h"

namespace {

struct Request {
  QString path;
  double delay = 0;
  bool quit = false;
};

void saveAndMaybeQuit(const Request& request, const QScreen* screen, double time) {
  if (!request.path.isEmpty()) {
    const QImage frame = ox::WindowServer::shared().grabScreen(screen, time);
    QDir().mkpath(QFileInfo(request.path).absolutePath());
    if (frame.save(request.path, "PNG"))
      std::printf("saved %s\n", qPrintable(QFileInfo(request.path).absoluteFilePath()));
    else
      ox::log(QStringLiteral("Could not save the screen to %1").arg(request.path));
    std::fflush(stdout);
  }
  if (request.quit) ox::Application::terminate();
}

}  // namespace

void OXFrameCapture::installFromEnvironment(const QElapsedTimer& sinceStart) {
  Request request;
  request.path = qEnvironmentVariable("OMBRIX_FRAME_PATH");
  request.delay = qEnvironmentVariable("OMBRIX_FRAME_DELAY").toDouble();
  request.quit = qEnvironmentVariable("OMBRIX_QUIT_AFTER_FRAME") == QLatin1String("1");
  if (request.path.isEmpty() && !request.quit && !qEnvironmentVariableIsSet("OMBRIX_FRAME_DELAY")) return;
  auto token = std::make_shared<int>(0);
  const QElapsedTimer started = sinceStart;
  *token = ox::WindowServer::shared().addFrameObserver([token, request, started](const QScreen* screen, double time) {
    ox::WindowServer::shared().removeFrameObserver(*token);
    std::printf("first frame after %lld ms\n", (long long)started.elapsed());
    std::fflush(stdout);
    if (!(request.delay > 0)) {
      saveAndMaybeQuit(request, screen, time);
      return;
    }
    ox::dispatchMainAfter(request.delay, [request, screen] { saveAndMaybeQuit(request, screen, ox::LayerClock::now()); });
  });
}
