#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "app/OXFullScreenMenu.h"
#include "app/OXPanelOptionsView.h"
#include "app/OXPanelResumeView.h"
#include "app/PanelResume.h"
#include "core/OXPreferencesValues.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/layers/Fonts.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Transaction.h"
#include "platform/ui/WindowServer.h"
#include "tests/support/TestUtil.h"

using namespace ox;

namespace {

const QString kUp(QChar(0xF700)), kDown(QChar(0xF701)), kLeft(QChar(0xF702)), kRight(QChar(0xF703));

void press(const QString& characters) { WindowServer::shared().dispatchKeyEvent(KeyEvent::withCharacters(characters)); }

// The opener's side of a menu: which entries were chosen, as their buttons told.
struct Opener {
  QList<QPair<qint64, QString>> chosen;
  int updates = 0;
  void filterApply(const Button& sender) { chosen.append({sender.tag(), sender.title()}); }
  void updateApp() { ++updates; }
};

// The answers the panels post.
struct Answers {
  QList<qint64> indexes;
  QList<bool> windowVisible;
  std::shared_ptr<Window> watched;
  NotificationCenter::Token token;
  Answers() {
    token = NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(closePanelResumeNotification), nullptr, [this](const Notification& n) {
          indexes << n.userInfo.value(closePanelResumeIndexKey).toLongLong();
          windowVisible << (watched && watched->isVisible());
        });
  }
  ~Answers() { NotificationCenter::defaultCenter().removeObserver(token); }
};

class OverlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Fonts::registerFontFile(oxtest::sourcePath("resources/fonts/oxfont.ttf"));
    screen = QGuiApplication::primaryScreen();
    OXPreferencesValues::sharePreferences()->setMainScreen(screen);
    H = OXPreferencesValues::sharePreferences()->mainScreenFrame().height();
    // A main window under the overlays: red on the left half, blue on the right, with the keys when nothing else
    // has them.
    main = std::make_shared<KeyWindow>(screenFrame(screen));
    main->setContentView(std::make_shared<View>());
    LayerPtr right = Layer::layer();
    right->setAnchorPoint(QPointF(0, 0));
    right->setBackgroundColor(Qt::blue);
    right->setFrame(QRectF(screenFrame(screen).width() / 2, 0, screenFrame(screen).width() / 2, H));
    main->rootLayer()->setBackgroundColor(Qt::red);
    main->contentView()->layer()->addSublayer(right);
    main->makeKeyAndOrderFront();
  }
  void TearDown() override {
    for (const auto& w : WindowServer::shared().orderedWindows()) w->orderOut();
  }
  // The composed screen once every fade has ended.
  QImage settledScreen() {
    clock.advance(1.0);
    Transaction::flush();
    return WindowServer::shared().grabScreen(screen, clock.now());
  }
  // Middle of a layer above the view's middle.
  double offsetOf(const LayerPtr& l) const { return l->frame().center().y() - H / 2; }

  struct KeyWindow : Window {
    using Window::Window;
    bool canBecomeKeyWindow() const override { return true; }
  };

  ManualClock clock{50.0};
  QScreen* screen = nullptr;
  double H = 0;
  std::shared_ptr<Window> main;
};

// Brightest pixel of a horizontal band around y (image rows, from the top).
int brightestInRow(const QImage& img, int y) {
  int best = 0;
  for (int dy = -3; dy <= 3; ++dy)
    for (int x = 0; x < img.width(); ++x) best = std::max(best, qGray(img.pixel(x, std::clamp(y + dy, 0, img.height() - 1))));
  return best;
}

}  // namespace

TEST_F(OverlayTest, OptionsListWithoutTitleCentresItsColumnOnTheFirstSelection) {
  auto menu = OXFullScreenMenu::initWithTitle({}, {"All", "Action", "Comedy", "Drama"});
  EXPECT_TRUE(menu->isVisible());
  EXPECT_TRUE(menu->isKeyWindow());
  EXPECT_TRUE(menu->isMainWindow());
  EXPECT_EQ(menu->level(), WindowLevel::ScreenSaver - 1);
  EXPECT_EQ(menu->backgroundColor(), QColor::fromRgbF(0, 0, 0, 0.5f));
  EXPECT_EQ(menu->backgroundBlurRadius(), 20);
  EXPECT_EQ(menu->firstResponder(), menu->panel());
  EXPECT_FALSE(menu->panel()->buttonBase());  // nothing built before open
  // The dimmed window fades in from its creation, the content from open.
  const double t0 = clock.now();
  EXPECT_NEAR(menu->rootLayer()->presentation(t0).opacity, 0.0, 0.01);
  EXPECT_DOUBLE_EQ(menu->rootLayer()->presentation(t0 + 0.25).opacity, 1.0);
  menu->setFirstSelected(2);
  menu->open();
  Transaction::flush();
  EXPECT_NEAR(menu->panel()->layer()->presentation(t0).opacity, 0.0, 0.01);
  EXPECT_DOUBLE_EQ(menu->panel()->layer()->presentation(t0 + 0.25).opacity, 1.0);

  const auto& rows = menu->panel()->buttonBase()->sublayers();
  ASSERT_EQ(rows.size(), 4u);
  const double expected[] = {0.135, 0.045, -0.045, -0.135};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(rows[i]->name(), QString::number(i));
    EXPECT_NEAR(offsetOf(rows[i]), expected[i] * H, 0.5) << i;
    EXPECT_DOUBLE_EQ(rows[i]->opacity(), i == 2 ? 1.0 : 0.65);
    EXPECT_EQ(rows[i]->transform().isIdentity(), i == 2);
  }
  EXPECT_DOUBLE_EQ(rows[0]->transform().m11, 0.77);
  EXPECT_EQ(menu->panel()->selectedIndex(), 2u);

  // On screen: the chosen row in white, the others greyed, the main window dimmed beneath.
  const QImage img = settledScreen();
  const int centre = img.height() / 2;
  EXPECT_GT(brightestInRow(img, centre + int(0.045 * H)), 235);   // row 2
  EXPECT_LT(brightestInRow(img, centre - int(0.135 * H)), 200);   // row 0
  EXPECT_GT(brightestInRow(img, centre - int(0.135 * H)), 120);
  const QColor beneath = img.pixelColor(img.width() / 4, 10);
  EXPECT_GT(beneath.red(), 0);
  EXPECT_LT(beneath.red(), 80);
  EXPECT_EQ(beneath.blue(), 0);
}

TEST_F(OverlayTest, OptionsListWithTitleHangsItsRowsBelowTheTitle) {
  auto menu = OXFullScreenMenu::initWithTitle("Ombrix will be closed to install the new update.",
                                              {"Install now", "Later"});
  menu->open();
  Transaction::flush();
  auto list = menu->panel();
  const auto& rows = list->buttonBase()->sublayers();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(list->titleText()->name(), "titleText");
  EXPECT_NEAR(offsetOf(list->titleText()), 2 * 0.078 * H, 0.5);
  EXPECT_NEAR(list->buttonBase()->frame().top() + list->buttonBase()->frame().height(),
              list->titleText()->frame().top(), 0.5);  // y up: the base's top on the title's bottom
  EXPECT_DOUBLE_EQ(list->titleText()->transform().m11, 0.5698);
  // Row 0 full size, the other smaller but not dimmed until the first move.
  EXPECT_TRUE(rows[0]->transform().isIdentity());
  EXPECT_DOUBLE_EQ(rows[1]->opacity(), 1.0);
  EXPECT_DOUBLE_EQ(rows[1]->transform().m11, 0.77);
  EXPECT_GT(rows[0]->frame().center().y(), rows[1]->frame().center().y());

  press(kDown);
  EXPECT_EQ(list->selectedIndex(), 1u);
  EXPECT_DOUBLE_EQ(rows[0]->opacity(), 0.65);
  EXPECT_DOUBLE_EQ(rows[0]->transform().m11, 0.77);
  EXPECT_TRUE(rows[1]->transform().isIdentity());
  // The highlight moves in a 0.15 s animation.
  const double t = clock.now();
  const double halfway = rows[0]->presentation(t + 0.075).opacity;
  EXPECT_GT(halfway, 0.66);
  EXPECT_LT(halfway, 0.99);
  EXPECT_DOUBLE_EQ(rows[0]->presentation(t + 0.15).opacity, 0.65);
}

TEST_F(OverlayTest, OptionsListMovesStopAtTheEndsAndPlaySendsTheChosenEntry) {
  auto opener = std::make_shared<Opener>();
  auto menu = OXFullScreenMenu::initWithTitle({}, {"All", "Drama", "Drama"});
  for (quint64 i = 0; i < 4; ++i) menu->addTarget(opener, &Opener::filterApply, i);  // index 3 is past the list
  menu->setFirstSelected(7);  // past the list: ignored
  menu->open();
  auto list = menu->panel();
  EXPECT_EQ(list->selectedIndex(), 0u);
  press(kUp);
  EXPECT_EQ(list->selectedIndex(), 0u);
  for (int i = 0; i < 4; ++i) press(kDown);
  EXPECT_EQ(list->selectedIndex(), 2u);
  list->selectItem(5);
  EXPECT_EQ(list->selectedIndex(), 2u);
  for (const QString& k : {kLeft, kRight, QString("m"), QString("p"), QString("x")}) press(k);
  EXPECT_EQ(list->selectedIndex(), 2u);
  EXPECT_DOUBLE_EQ(menu->alphaValue(), 1.0);
  EXPECT_TRUE(opener->chosen.isEmpty());

  press("\r");
  // Equal texts keep their own positions as tags.
  ASSERT_EQ(opener->chosen.size(), 1);
  EXPECT_EQ(opener->chosen[0], qMakePair(qint64(2), QString("Drama")));
  EXPECT_DOUBLE_EQ(menu->alphaValue(), 0.0);
  EXPECT_TRUE(menu->isVisible());  // fading out, still taking keys
  EXPECT_TRUE(oxtest::spinUntil([&] { return !menu->isVisible(); }));
  EXPECT_TRUE(main->isKeyWindow());
  EXPECT_EQ(opener->chosen.size(), 1);
}

TEST_F(OverlayTest, MenuKeyAndEntriesWithoutTargetOnlyCloseTheMenu) {
  auto opener = std::make_shared<Opener>();
  auto menu = OXFullScreenMenu::initWithTitle({}, {"Mark as Watched", "Cancel"});
  menu->addTarget(opener, &Opener::updateApp, 0);
  menu->addTarget(menu, &OXFullScreenMenu::close, 1);  // the menu's own close, called twice in all
  menu->open();
  press(QString(QChar(27)));
  EXPECT_DOUBLE_EQ(menu->alphaValue(), 0.0);
  EXPECT_TRUE(oxtest::spinUntil([&] { return !menu->isVisible(); }));
  EXPECT_EQ(opener->updates, 0);

  auto again = OXFullScreenMenu::initWithTitle({}, {"Mark as Watched", "Cancel"});
  again->addTarget(again, &OXFullScreenMenu::close, 1);
  again->open();
  press(kDown);
  press(" ");
  EXPECT_TRUE(oxtest::spinUntil([&] { return !again->isVisible(); }));

  // An entry whose target has gone, or that never had one, only closes.
  auto gone = std::make_shared<Opener>();
  auto third = OXFullScreenMenu::initWithTitle({}, {"Install now", "Later"});
  third->addTarget(gone, &Opener::updateApp, 0);
  gone.reset();
  third->open();
  press("\r");
  EXPECT_TRUE(oxtest::spinUntil([&] { return !third->isVisible(); }));
  // An alert takes no entries and only keeps the first selection.
  auto alert = OXFullScreenMenu::initAlertWithTexts({"One line"});
  alert->addTarget(opener, &Opener::updateApp, 0);
  alert->setFirstSelected(3);
  EXPECT_EQ(alert->firstSelected(), 3u);
  EXPECT_FALSE(alert->panel());
  alert->orderOut();
}

TEST_F(OverlayTest, AlertCentresItsLinesAndAnyCommandClosesIt) {
  const struct {
    QStringList lines;
    std::vector<double> offsets;
  } cases[] = {{{"One"}, {0}},
               {{"One", "Two"}, {0.045, -0.045}},
               {{"One", "Two", "Three"}, {0.09, 0, -0.09}},
               {{"1", "2", "3", "4"}, {0.135, 0.045, -0.045, -0.135}},
               {{}, {}}};
  for (const auto& c : cases) {
    auto alert = OXFullScreenMenu::initAlertWithTexts(c.lines);
    alert->open();
    Transaction::flush();
    auto view = alert->simpleAlertView();
    EXPECT_EQ(alert->firstResponder(), view);
    const auto& layers = view->layer()->sublayers();
    ASSERT_EQ(layers.size(), c.lines.size() + 1);  // the vignette first
    for (qsizetype i = 0; i < c.lines.size(); ++i) {
      EXPECT_EQ(layers[std::size_t(i) + 1]->name(), QString::number(i));
      EXPECT_NEAR(offsetOf(layers[std::size_t(i) + 1]), c.offsets[std::size_t(i)] * H, 0.5) << qPrintable(c.lines.join("|"));
    }
    alert->orderOut();
  }

  auto alert = OXFullScreenMenu::initAlertWithTexts({"This file could not be played."});
  alert->open();
  const QImage img = settledScreen();
  EXPECT_GT(brightestInRow(img, img.height() / 2), 235);
  press("x");
  EXPECT_DOUBLE_EQ(alert->alphaValue(), 1.0);
  press("p");
  EXPECT_DOUBLE_EQ(alert->alphaValue(), 0.0);
  EXPECT_TRUE(oxtest::spinUntil([&] { return !alert->isVisible(); }));
  // Every remote command starts the closing fade as well.
  for (auto command : {&OXRemoteProtocol::moveLeft, &OXRemoteProtocol::holdRight, &OXRemoteProtocol::releaseButton}) {
    auto a = OXFullScreenMenu::initAlertWithTexts({"Again"});
    a->open();
    (a->simpleAlertView().get()->*command)();
    EXPECT_DOUBLE_EQ(a->alphaValue(), 0.0);
  }
}

TEST_F(OverlayTest, ResumePanelPostsTheChosenIndexAndMenuPostsNothing) {
  Answers answers;
  auto view = std::make_shared<OXPanelResumeView>(OXPreferencesValues::sharePreferences()->mainScreenFrame());
  auto panel = PanelResume::initWithPanelView(view);
  answers.watched = panel;
  EXPECT_TRUE(panel->isKeyWindow());
  EXPECT_EQ(panel->level(), WindowLevel::ScreenSaver - 1);
  EXPECT_EQ(panel->backgroundBlurRadius(), 20);
  EXPECT_EQ(panel->firstResponder(), view);
  Transaction::flush();
  EXPECT_NEAR(offsetOf(view->resumeText()), 0.032 * H, 0.5);
  EXPECT_NEAR(offsetOf(view->playText()), -0.045 * H, 0.5);
  EXPECT_EQ(view->resumeText()->string(), "Resume");
  EXPECT_EQ(view->playText()->string(), "Play");
  EXPECT_DOUBLE_EQ(view->playText()->opacity(), 0.65);
  EXPECT_DOUBLE_EQ(view->playText()->transform().m11, 0.77);
  const QImage img = settledScreen();
  const int centre = img.height() / 2;
  EXPECT_GT(brightestInRow(img, centre - int(0.032 * H)), 235);
  EXPECT_LT(brightestInRow(img, centre + int(0.045 * H)), 200);

  press(kUp);
  EXPECT_EQ(view->selectedIndex(), 0u);
  press(kDown);
  press(kDown);
  EXPECT_EQ(view->selectedIndex(), 1u);
  EXPECT_TRUE(view->resumeText()->transform().m11 < 1);
  for (const QString& k : {kLeft, kRight, QString("m"), QString("p")}) press(k);
  EXPECT_TRUE(answers.indexes.isEmpty());
  press("\r");
  EXPECT_EQ(answers.indexes, QList<qint64>{1});
  EXPECT_EQ(answers.windowVisible, QList<bool>{true});  // heard before the panel fades
  EXPECT_TRUE(oxtest::spinUntil([&] { return !panel->isVisible(); }));

  auto second = PanelResume::initWithPanelView(
      std::make_shared<OXPanelResumeView>(OXPreferencesValues::sharePreferences()->mainScreenFrame()));
  press(" ");
  EXPECT_EQ(answers.indexes, (QList<qint64>{1, 0}));
  auto third = PanelResume::initWithPanelView(
      std::make_shared<OXPanelResumeView>(OXPreferencesValues::sharePreferences()->mainScreenFrame()));
  press(QString(QChar(127)));
  EXPECT_DOUBLE_EQ(third->alphaValue(), 0.0);
  EXPECT_TRUE(oxtest::spinUntil([&] { return !third->isVisible(); }));
  EXPECT_EQ(answers.indexes.size(), 2);
}

TEST_F(OverlayTest, ResumeRatioIsClampedAndOnlyAPositiveOneAsks) {
  EXPECT_FLOAT_EQ(PanelResume::resumeRatio(0.4f), 0.4f);
  EXPECT_FLOAT_EQ(PanelResume::resumeRatio(1.7f), 1.0f);
  EXPECT_FLOAT_EQ(PanelResume::resumeRatio(-0.2f), 0.0f);
  EXPECT_FLOAT_EQ(PanelResume::resumeRatio(std::nanf("")), 0.0f);
  EXPECT_FLOAT_EQ(PanelResume::resumeRatio(INFINITY), 0.0f);
  EXPECT_FALSE(PanelResume::asksToResume(0.0f));
  EXPECT_FALSE(PanelResume::asksToResume(std::nanf("")));
  EXPECT_TRUE(PanelResume::asksToResume(0.01f));

  // A view that cannot build its layers is not shown.
  auto panel = PanelResume::initWithPanelView(std::make_shared<View>(QRectF(0, 0, 10, 10)));
  EXPECT_FALSE(panel->panelView());
  EXPECT_TRUE(panel->contentView()->subviews().empty());
}

TEST_F(OverlayTest, TwoOptionPanelClosesBeforeItReportsAndMenuReportsMinusOne) {
  Answers answers;
  auto view = std::make_shared<OXPanelOptionsView>("Install the update?", "Install", "Later");
  auto panel = PanelResume::initWithPanelView(view);
  answers.watched = panel;
  Transaction::flush();
  EXPECT_EQ(view->installText()->name(), "row_0");
  EXPECT_NEAR(offsetOf(view->installText()), 0.0345 * H, 0.5);
  EXPECT_NEAR(offsetOf(view->laterText()), -0.055 * H, 0.5);
  EXPECT_DOUBLE_EQ(view->laterText()->transform().m11, 0.74);
  EXPECT_GT(view->titleText()->frame().center().y(), view->installText()->frame().bottom());
  EXPECT_NEAR(view->layer()->backgroundColor().alphaF(), 0.3, 0.01);

  press(kDown);
  EXPECT_DOUBLE_EQ(view->installText()->transform().m11, 0.74);
  press("\r");
  EXPECT_EQ(answers.indexes, QList<qint64>{1});
  EXPECT_EQ(answers.windowVisible, QList<bool>{false});

  auto second = PanelResume::initWithPanelView(std::make_shared<OXPanelOptionsView>("Q", "A", "B"));
  answers.watched = second;
  press(QString(QChar(27)));
  EXPECT_EQ(answers.indexes, (QList<qint64>{1, -1}));
  EXPECT_EQ(answers.windowVisible, (QList<bool>{false, false}));
}
