#include "platform/ui/WindowServer.h"

#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QPointer>
#include <QRasterWindow>
#include <QScreen>
#include <algorithm>
#include <map>

#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/Transaction.h"
#include "platform/ui/BackdropBlur.h"

namespace ox {
namespace {

// The one native window of a screen: frameless, full screen, painting the composition.
class ScreenSurface : public QRasterWindow {
 public:
  explicit ScreenSurface(QScreen* screen) {
    setScreen(screen);
    setFlags(Qt::FramelessWindowHint | Qt::Window);
    setTitle(QStringLiteral("Ombrix"));
    setGeometry(screen->geometry());
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    const double t = LayerClock::now();
    {
      QPainter p(this);
      WindowServer::shared().render(p, screen(), t);
    }
    WindowServer::shared().framePainted(screen(), t);
  }
  void keyPressEvent(QKeyEvent* e) override {
    if (!WindowServer::shared().dispatchKeyEvent(KeyEvent::fromQt(*e))) QRasterWindow::keyPressEvent(e);
  }
};

}  // namespace

struct WindowServer::Impl {
  std::vector<std::shared_ptr<Window>> windows;  // visible ones, held while shown
  quint64 nextSeq = 1;
  QHash<const QScreen*, QPointer<ScreenSurface>> surfaces;
  Renderer renderer;
  bool animating = false;
  int observer = 0;
  std::map<int, std::function<void(const QScreen*, double)>> frameObservers;
  int nextFrameObserver = 1;
};

WindowServer& WindowServer::shared() {
  static WindowServer* server = new WindowServer();  // lives as long as the process
  return *server;
}

WindowServer::WindowServer() : d(std::make_unique<Impl>()) {
  d->observer = Transaction::addFlushObserver([this] { setNeedsDisplay(); });
}

WindowServer::~WindowServer() { Transaction::removeFlushObserver(d->observer); }

std::vector<std::shared_ptr<Window>> WindowServer::orderedWindows() const {
  auto list = d->windows;
  std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
    return a->level_ != b->level_ ? a->level_ < b->level_ : a->orderSeq_ < b->orderSeq_;
  });
  return list;
}

std::vector<std::shared_ptr<Window>> WindowServer::windowsOnScreen(const QScreen* screen) const {
  std::vector<std::shared_ptr<Window>> out;
  for (const auto& w : orderedWindows())
    if (w->screen() == screen) out.push_back(w);
  return out;
}

void WindowServer::orderFront(const std::shared_ptr<Window>& w) {
  if (!w) return;
  if (std::find(d->windows.begin(), d->windows.end(), w) == d->windows.end()) d->windows.push_back(w);
  w->visible_ = true;
  w->orderSeq_ = d->nextSeq++;
  w->placeRootLayer();
  updateSurfaces();
}

void WindowServer::orderOut(Window* w) {
  if (!w) return;
  std::shared_ptr<Window> keep;
  for (const auto& x : d->windows)
    if (x.get() == w) keep = x;
  std::erase_if(d->windows, [w](const auto& x) { return x.get() == w; });
  w->visible_ = false;
  if (key_.lock().get() == w) {
    // The key passes to the frontmost remaining window that can take it.
    key_.reset();
    const auto list = orderedWindows();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
      if ((*it)->canBecomeKeyWindow()) {
        makeKey(*it);
        break;
      }
  }
  if (main_.lock().get() == w) main_.reset();
  updateSurfaces();
}

void WindowServer::makeKey(const std::shared_ptr<Window>& w) {
  key_ = w;
  if (w && w->visible_) {
    if (auto s = d->surfaces.value(w->screen())) s->requestActivate();
  }
}

void WindowServer::makeMain(const std::shared_ptr<Window>& w) { main_ = w; }

bool WindowServer::dispatchKeyEvent(const KeyEvent& event) {
  auto key = keyWindow();
  if (!key || !key->isVisible()) return false;
  key->sendEvent(event);
  return true;
}

bool WindowServer::hasSurface(const QScreen* screen) const {
  auto s = d->surfaces.value(screen);
  return s && s->isVisible();
}

void WindowServer::updateSurfaces() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
  for (QScreen* screen : QGuiApplication::screens()) {
    const bool wanted = !windowsOnScreen(screen).empty();
    QPointer<ScreenSurface> s = d->surfaces.value(screen);
    if (wanted && !s) {
      s = new ScreenSurface(screen);
      d->surfaces.insert(screen, s);
      QObject::connect(screen, &QObject::destroyed, [this, screen] {
        if (auto gone = d->surfaces.take(screen)) gone->deleteLater();
      });
    }
    if (!s) continue;
    if (wanted && !s->isVisible()) {
      s->showFullScreen();
      if (auto key = keyWindow(); key && key->screen() == screen) s->requestActivate();
    } else if (!wanted && s->isVisible()) {
      s->hide();
    }
    if (wanted) s->update();
  }
}

void WindowServer::setNeedsDisplay() {
  // update(), not requestUpdate(): a raster window paints on an update request only what was marked dirty, so a
  // bare request paints nothing and the screen would change only when the display system exposes it again.
  for (const auto& s : d->surfaces)
    if (s && s->isVisible()) s->update();
}

int WindowServer::addFrameObserver(std::function<void(const QScreen*, double)> observer) {
  const int token = d->nextFrameObserver++;
  d->frameObservers.emplace(token, std::move(observer));
  return token;
}

void WindowServer::removeFrameObserver(int token) { d->frameObservers.erase(token); }

void WindowServer::framePainted(const QScreen* screen, double time) {
  // A copy: an observer may remove itself (or others) while it runs.
  const auto observers = d->frameObservers;
  for (const auto& [token, observer] : observers)
    if (d->frameObservers.count(token)) observer(screen, time);
}

namespace {

// The alpha a window shows at time t.
double shownAlpha(const Window& w, double time) { return w.rootLayer()->presentation(time).opacity; }

bool blursBeneath(const Window& w, double time) { return w.backgroundBlurRadius() > 0 && shownAlpha(w, time) > 0; }

}  // namespace

void WindowServer::render(QPainter& painter, const QScreen* screen, double time) {
  const QRectF sf = screenFrame(screen);
  const QSizeF size = sf.size();
  const auto windows = windowsOnScreen(screen);
  bool animating = false;
  const bool blur = std::any_of(windows.begin(), windows.end(), [time](const auto& w) { return blursBeneath(*w, time); });
  if (!blur) {
    painter.fillRect(QRectF(QPointF(0, 0), size), Qt::black);
    for (const auto& w : windows) {
      d->renderer.render(painter, w->rootLayer(), size, time);
      animating = animating || d->renderer.animating();
    }
  } else {
    // A blurred window needs the pixels beneath it, so the screen is composed in an image first.
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    QImage canvas((size * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(dpr);
    canvas.fill(Qt::black);
    QPainter p(&canvas);
    for (const auto& w : windows) {
      if (blursBeneath(*w, time)) {
        // Window frames are y up from the screen's bottom left; the image is y down.
        const QRectF f = w->frame().translated(-sf.topLeft());
        const QRectF area(f.x(), size.height() - f.y() - f.height(), f.width(), f.height());
        const QRect pixels = QRectF(area.topLeft() * dpr, area.size() * dpr).toAlignedRect() & canvas.rect();
        if (!pixels.isEmpty()) {
          const QImage beneath = blurredBackdrop(canvas.copy(pixels), w->backgroundBlurRadius() * dpr);
          p.setOpacity(shownAlpha(*w, time));
          p.drawImage(QRectF(QPointF(pixels.topLeft()) / dpr, QSizeF(pixels.size()) / dpr), beneath);
          p.setOpacity(1.0);
        }
      }
      d->renderer.render(p, w->rootLayer(), size, time);
      animating = animating || d->renderer.animating();
    }
    p.end();
    painter.drawImage(QRectF(QPointF(0, 0), size), canvas);
  }
  // Keep painting while something moves; the platform paces the frames.
  if (animating) QMetaObject::invokeMethod(QCoreApplication::instance(), [this] { setNeedsDisplay(); },
                                           Qt::QueuedConnection);
}

QImage WindowServer::grabScreen(const QScreen* screen, double time) {
  const QSize size = screenFrame(screen).size().toSize();
  QImage img(size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::black);
  QPainter p(&img);
  render(p, screen, time);
  p.end();
  return img;
}

}  // namespace ox
