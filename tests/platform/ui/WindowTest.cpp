#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWindow>

#include "platform/layers/LayerClock.h"
#include "platform/layers/Transaction.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/KeyEvent.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/WindowServer.h"
#include "tests/support/TestUtil.h"

using namespace ox;

namespace {

class KeyWindow : public Window {
 public:
  using Window::Window;
  bool canBecomeKeyWindow() const override { return true; }
  bool canBecomeMainWindow() const override { return true; }
};

class Recorder : public View {
 public:
  using View::View;
  bool acceptsFirstResponder() const override { return accepts; }
  void keyDown(const KeyEvent& e) override { keys.push_back(e.firstCharacter()); }
  bool accepts = true;
  std::vector<char16_t> keys;
};

class Drawn : public View {
 public:
  using View::View;
  bool drawsContent() const override { return true; }
  void drawRect(QPainter& p, const QRectF&) override { p.fillRect(QRectF(0, 0, 10, 10), Qt::red); }  // bottom left
};

QRectF fullScreen() { return screenFrame(QGuiApplication::primaryScreen()); }

QWindow* surface() {
  for (QWindow* w : QGuiApplication::topLevelWindows())
    if (w->title() == "Ombrix" && w->isVisible()) return w;
  return nullptr;
}

struct Cleanup {
  std::vector<std::shared_ptr<Window>> windows;
  ~Cleanup() {
    for (auto& w : windows) w->close();
  }
};

}  // namespace

TEST(KeyEvent, TranslatesToTheCharacterCodesOfTheKeyTables) {
  auto chars = [](int key, const QString& text = {}, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QKeyEvent e(QEvent::KeyPress, key, m, text);
    return KeyEvent::fromQt(e).firstCharacter();
  };
  EXPECT_EQ(chars(Qt::Key_Up), 0xF700);
  EXPECT_EQ(chars(Qt::Key_Down), 0xF701);
  EXPECT_EQ(chars(Qt::Key_Left), 0xF702);
  EXPECT_EQ(chars(Qt::Key_Right), 0xF703);
  EXPECT_EQ(chars(Qt::Key_Return, "\r"), 13);
  EXPECT_EQ(chars(Qt::Key_Enter, "\r"), 13);
  EXPECT_EQ(chars(Qt::Key_Space, " "), 32);
  EXPECT_EQ(chars(Qt::Key_Escape, "\x1b"), 27);
  EXPECT_EQ(chars(Qt::Key_Backspace, "\b"), 127);
  EXPECT_EQ(chars(Qt::Key_Delete), 0xF728);
  EXPECT_EQ(chars(Qt::Key_M, "m"), 'm');
  EXPECT_EQ(chars(Qt::Key_P, "P", Qt::ShiftModifier), 'P');
  EXPECT_EQ(chars(Qt::Key_F1), 0xF704);
  EXPECT_EQ(chars(Qt::Key_Shift), 0);  // no characters
  QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_O, Qt::ControlModifier, "\x0f");
  EXPECT_EQ(KeyEvent::fromQt(ctrl).charactersIgnoringModifiers(), "o");
  QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier, {}, true);
  EXPECT_TRUE(KeyEvent::fromQt(repeat).isARepeat());
}

TEST(Cursor, HidesAreCountedAndExtraUnhidesIgnored) {
  EXPECT_FALSE(Cursor::isHidden());
  Cursor::hide();
  Cursor::hide();
  Cursor::unhide();
  EXPECT_TRUE(Cursor::isHidden());
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
  Cursor::unhide();
  EXPECT_FALSE(Cursor::isHidden());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  Cursor::unhide();
  EXPECT_EQ(Cursor::hideCount(), 0);
  Cursor::hide();
  EXPECT_TRUE(Cursor::isHidden());
  Cursor::unhide();
}

TEST(Window, KeyWindowFirstResponderGetsTheKeys) {
  Cleanup c;
  auto plain = std::make_shared<Window>(fullScreen());
  auto menu = std::make_shared<KeyWindow>(fullScreen());
  auto main = std::make_shared<KeyWindow>(fullScreen());
  c.windows = {plain, menu, main};
  auto view = std::make_shared<Recorder>();
  auto refusing = std::make_shared<Recorder>();
  refusing->accepts = false;
  main->setContentView(view);
  view->addSubview(refusing);
  EXPECT_FALSE(main->makeFirstResponder(refusing));
  EXPECT_TRUE(main->makeFirstResponder(view));
  EXPECT_FALSE(main->makeFirstResponder(std::make_shared<Recorder>()));  // not in this window

  plain->makeKeyAndOrderFront();  // borderless: cannot become key
  EXPECT_FALSE(plain->isKeyWindow());
  EXPECT_TRUE(plain->isVisible());
  main->makeKeyAndOrderFront();
  main->makeMainWindow();
  EXPECT_TRUE(main->isKeyWindow());
  EXPECT_TRUE(main->isMainWindow());
  EXPECT_TRUE(WindowServer::shared().dispatchKeyEvent(KeyEvent::withCharacters(QString(QChar(0xF701)))));
  ASSERT_EQ(view->keys.size(), 1u);
  EXPECT_EQ(view->keys[0], 0xF701);

  // An overlay takes the keys while it is key; closing it hands them back.
  menu->setLevel(WindowLevel::ScreenSaver - 1);
  auto menuView = std::make_shared<Recorder>();
  menu->setContentView(menuView);
  menu->makeFirstResponder(menuView);
  menu->makeKeyAndOrderFront();
  WindowServer::shared().dispatchKeyEvent(KeyEvent::withCharacters("\r"));
  EXPECT_EQ(menuView->keys.size(), 1u);
  menu->close();
  EXPECT_FALSE(menu->isVisible());
  EXPECT_TRUE(main->isKeyWindow());
  WindowServer::shared().dispatchKeyEvent(KeyEvent::withCharacters(" "));
  EXPECT_EQ(view->keys.size(), 2u);
  // Keys a view leaves go up the chain and end at the window.
  main->makeFirstResponder(nullptr);
  WindowServer::shared().dispatchKeyEvent(KeyEvent::withCharacters("x"));
  EXPECT_EQ(view->keys.size(), 2u);
  main->orderOut();
  plain->orderOut();
  EXPECT_FALSE(WindowServer::shared().dispatchKeyEvent(KeyEvent::withCharacters("x")));
}

TEST(Window, ScreenCompositionFollowsLevelsAndAlpha) {
  ManualClock clock;
  Cleanup c;
  const QRectF sf = fullScreen();
  auto bottom = std::make_shared<KeyWindow>(sf);
  bottom->setBackgroundColor(Qt::red);
  auto overlay = std::make_shared<KeyWindow>(sf);
  overlay->setLevel(WindowLevel::ScreenSaver - 1);
  overlay->setOpaque(false);
  overlay->setBackgroundColor(QColor(0, 0, 0, 128));
  auto small = std::make_shared<Window>(QRectF(sf.x() + 10, sf.y() + 10, 50, 40));  // bottom-left corner
  small->setBackgroundColor(Qt::blue);
  c.windows = {bottom, overlay, small};
  overlay->orderFront();  // ordered first, but its level keeps it in front
  bottom->orderFront();
  small->orderFront();
  const QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_EQ(WindowServer::shared().windowsOnScreen(screen).size(), 3u);
  EXPECT_EQ(WindowServer::shared().orderedWindows().back(), overlay);

  overlay->setAlphaValue(0.0);
  Transaction::flush();
  overlay->animateAlphaValue(1.0);  // the animator: 0.25 s
  const double t0 = clock.now();
  QImage img = WindowServer::shared().grabScreen(screen, t0);
  const int h = img.height();
  EXPECT_EQ(img.pixelColor(img.width() / 2, h / 2), QColor(Qt::red));
  EXPECT_EQ(img.pixelColor(20, h - 20), QColor(Qt::blue));
  img = WindowServer::shared().grabScreen(screen, t0 + 0.25);
  const QColor dimmed = img.pixelColor(img.width() / 2, h / 2);
  EXPECT_NEAR(dimmed.red(), 127, 2);
  EXPECT_NEAR(img.pixelColor(20, h - 20).blue(), 127, 2);

  // A view's own drawing becomes its layer's contents, upright.
  auto drawn = std::make_shared<Drawn>(QRectF(0, 0, 40, 30));
  small->setContentView(std::make_shared<View>());
  small->contentView()->addSubview(drawn);
  const QImage own = drawn->cacheDisplayInRect(drawn->bounds());
  EXPECT_EQ(own.pixelColor(2, 27), QColor(Qt::red));  // bottom-left in the image
  EXPECT_EQ(own.pixelColor(2, 2).alpha(), 0);
  img = WindowServer::shared().grabScreen(screen, t0 + 1);
  EXPECT_NEAR(img.pixelColor(15, h - 15).red(), 127, 2);  // under the half-dark overlay
  EXPECT_NEAR(img.pixelColor(15, h - 35).blue(), 127, 2);
}

TEST(Window, NativeSurfaceShowsWhileWindowsAreVisibleAndForwardsKeys) {
  Cleanup c;
  auto w = std::make_shared<KeyWindow>(fullScreen());
  auto view = std::make_shared<Recorder>();
  w->setContentView(view);
  w->makeFirstResponder(view);
  c.windows = {w};
  const QScreen* screen = QGuiApplication::primaryScreen();
  w->makeKeyAndOrderFront();
  EXPECT_TRUE(WindowServer::shared().hasSurface(screen));
  QWindow* native = surface();
  ASSERT_NE(native, nullptr);
  EXPECT_EQ(native->geometry(), screen->geometry());
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, "\x1b");
  QCoreApplication::sendEvent(native, &press);
  ASSERT_EQ(view->keys.size(), 1u);
  EXPECT_EQ(view->keys[0], 27);
  w->orderOut();
  EXPECT_FALSE(WindowServer::shared().hasSurface(screen));
}

TEST(Window, NativeSurfacePaintsAgainAfterEachChangeAndWhileSomethingMoves) {
  Cleanup c;
  auto w = std::make_shared<KeyWindow>(fullScreen());
  w->setContentView(std::make_shared<View>());
  c.windows = {w};
  int frames = 0;
  const int token = WindowServer::shared().addFrameObserver([&frames](const QScreen*, double) { ++frames; });
  w->orderFront();
  EXPECT_TRUE(oxtest::spinUntil([&] { return frames > 0; }));
  oxtest::spinFor(50);
  int before = frames;
  w->setBackgroundColor(Qt::red);
  EXPECT_TRUE(oxtest::spinUntil([&] { return frames > before; }, 2000));
  // A fade is painted through, not only its first frame.
  oxtest::spinFor(50);
  before = frames;
  Transaction::begin();
  Transaction::setAnimationDuration(0.5);
  w->animateBackgroundColor(Qt::blue);
  Transaction::commit();
  oxtest::spinFor(400);
  EXPECT_GE(frames - before, 4);
  WindowServer::shared().removeFrameObserver(token);
}

TEST(Window, BackgroundBlurShowsABlurredCopyOfWhatLiesBeneathFadingWithTheWindow) {
  ManualClock clock;
  Cleanup c;
  const QRectF sf = fullScreen();
  auto bottom = std::make_shared<KeyWindow>(sf);
  bottom->setBackgroundColor(Qt::red);
  bottom->setContentView(std::make_shared<View>());
  LayerPtr right = Layer::layer();
  right->setAnchorPoint(QPointF(0, 0));
  right->setBackgroundColor(Qt::blue);
  right->setFrame(QRectF(sf.width() / 2, 0, sf.width() / 2, sf.height()));
  bottom->contentView()->layer()->addSublayer(right);
  auto overlay = std::make_shared<KeyWindow>(sf);
  overlay->setLevel(WindowLevel::ScreenSaver - 1);
  overlay->setOpaque(false);
  overlay->setBackgroundColor(Qt::transparent);
  c.windows = {bottom, overlay};
  bottom->orderFront();
  overlay->orderFront();
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int mid = int(sf.width() / 2), y = int(sf.height() / 2);
  auto at = [&](int x) { return WindowServer::shared().grabScreen(screen, clock.now()).pixelColor(x, y); };

  EXPECT_EQ(at(mid - 3), QColor(Qt::red));  // no blur: the edge stays sharp
  overlay->setBackgroundBlurRadius(20);
  const QColor left = at(mid - 3), right3 = at(mid + 3);
  EXPECT_GT(left.blue(), 40);
  EXPECT_GT(right3.red(), 40);
  EXPECT_GT(left.red(), right3.red());
  EXPECT_EQ(at(40), QColor(Qt::red));  // far from the edge the colour stays
  overlay->setAlphaValue(0.5);
  const QColor half = at(mid - 3);
  EXPECT_LT(half.blue(), left.blue());
  EXPECT_GT(half.blue(), 0);
  overlay->setAlphaValue(0.0);
  EXPECT_EQ(at(mid - 3), QColor(Qt::red));
  overlay->setBackgroundBlurRadius(-1);
  EXPECT_EQ(overlay->backgroundBlurRadius(), 0);
}
