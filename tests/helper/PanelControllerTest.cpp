#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QRandomGenerator>
#include <QLineEdit>
#include <QScreen>
#include <QUrl>
#include <cstdio>

#include "core/OXLibrary.h"
#include "helper/OXPanelController.h"
#include "helper/OXPanelListController.h"
#include "helper/OXSignUpLoginController.h"
#include "helper/StatusItemView.h"
#include "scanner/OXCoreLibrary.h"
#include "scanner/OXOmbrixAPI.h"
#include "tests/helper/HelperTestSupport.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

using helpertest::FakeStatusItem;

namespace {

// The panel's owner: answers with a status item whose place on the screen the test chooses.
class Owner : public OXPanelControllerDelegate {
 public:
  Owner() {
    FakeStatusItem::install();
    view = std::make_unique<StatusItemView>(ox::StatusItem::create(24));
    item = FakeStatusItem::last();
  }
  StatusItemView* statusItemViewForPanelController(OXPanelController*) override { return view.get(); }
  std::unique_ptr<StatusItemView> view;
  FakeStatusItem* item = nullptr;
};

class Panel : public ::testing::Test {
 protected:
  void SetUp() override { helpertest::resetHelperState(); }
  QRectF screen() const { return QGuiApplication::primaryScreen()->geometry(); }
};

void addMovieFolder() {
  OXLibrary::shareLibrary()->rootList()->addURLs({QUrl::fromLocalFile(QStringLiteral("/tmp/ombrix-movies/"))}, 1);
}

}  // namespace

TEST_F(Panel, HangsUnderTheItemAndStaysInsideTheScreen) {
  Owner owner;
  OXPanelController panel(&owner);
  panel.window()->resize(340, 380);
  const QRectF s = screen();

  owner.item->where = QRect(int(s.center().x()), 0, 24, 22);
  EXPECT_EQ(panel.statusRectForWindow(panel.window()), QRectF(s.center().x(), 22, 24, 22));
  EXPECT_EQ(panel.getPanelRect(), QRectF(s.center().x() + 12 - 170, 22, 340, 380));

  owner.item->where = QRect(int(s.right()) - 30, 0, 24, 22);  // near the right edge
  EXPECT_EQ(panel.getPanelRect().right(), s.right() - 8);
  owner.item->where = QRect(int(s.left()) + 2, 0, 24, 22);  // near the left edge
  EXPECT_EQ(panel.getPanelRect().left(), s.left() + 8);

  // A tray at the bottom: the panel rises from the item.
  owner.item->where = QRect(int(s.center().x()), int(s.bottom()) - 22, 24, 22);
  EXPECT_EQ(panel.getPanelRect().bottom(), s.bottom() - 22);

  // No geometry from the tray: 24 points wide, centred, one bar's thickness under the top.
  owner.item->where = QRect();
  EXPECT_EQ(panel.statusRectForWindow(panel.window()),
            QRectF(s.left() + std::round((s.width() - 24) / 2), s.top() + 22, 24, 22));
}

TEST_F(Panel, OpensClosesAndAReopeningKeepsItOpen) {
  addMovieFolder();
  Owner owner;
  helpertest::NotificationCounter cycles({OXCoreLibrary::kStopScanningState});
  OXPanelController panel(&owner);
  panel.checkCorrectPanel();
  ASSERT_FALSE(panel.hasActivePanel());  // folders exist: it stays closed at start
  // The panel's making starts the engine, whose first cycle posts a reload of its own when it purges.
  ASSERT_TRUE(oxtest::spinUntil([&] { return cycles.count(OXCoreLibrary::kStopScanningState) > 0; }, 20000));
  helpertest::NotificationCounter posts({OXPanelController::kReloadContentList});
  std::vector<bool> told;
  QObject::connect(&panel, &OXPanelController::hasActivePanelChanged, [&](bool active) { told.push_back(active); });

  panel.setHasActivePanel(true);
  EXPECT_TRUE(panel.window()->isVisible());
  EXPECT_EQ(posts.count(OXPanelController::kReloadContentList), 1);
  panel.setHasActivePanel(true);  // unchanged: observers hear of it, nothing else happens
  EXPECT_EQ(posts.count(OXPanelController::kReloadContentList), 1);
  EXPECT_EQ(told, (std::vector<bool>{true, true}));

  panel.setHasActivePanel(false);
  EXPECT_TRUE(panel.isOrderOutPending());
  EXPECT_TRUE(panel.window()->isVisible());  // fading out first
  panel.setHasActivePanel(true);
  EXPECT_FALSE(panel.isOrderOutPending());
  oxtest::spinFor(OXPanelController::kOrderOutDelayMs + 100);
  EXPECT_TRUE(panel.window()->isVisible());

  panel.setHasActivePanel(false);
  ASSERT_TRUE(oxtest::spinUntil([&] { return !panel.window()->isVisible(); }));
  EXPECT_FALSE(panel.hasActivePanel());
}

TEST_F(Panel, LosingTheFocusClosesOnlyWhenAsked) {
  Owner owner;
  OXPanelController panel(&owner);
  helpertest::NotificationCounter posts({OXPanelController::kClosePanelNotification});
  panel.setShouldClosePanelWhenResignKey(false);
  panel.windowDidResignKey();
  EXPECT_EQ(posts.count(OXPanelController::kClosePanelNotification), 0);
  panel.setShouldClosePanelWhenResignKey(true);
  panel.windowDidResignKey();
  EXPECT_EQ(posts.count(OXPanelController::kClosePanelNotification), 1);
}

TEST_F(Panel, FormWithoutASessionListWithOneAndTheFormAgainAfterLogOut) {
  // First start: no session, no folders. The form fills the panel, which opens by itself.
  Owner owner;
  helpertest::NotificationCounter posts({OXPanelController::kTogglePanel});
  OXPanelController panel(&owner);
  panel.checkCorrectPanel();
  OXSignUpLoginController* form = panel.signUpLoginController();
  EXPECT_EQ(panel.filledView(), form->view());
  EXPECT_EQ(panel.window()->size(), form->view()->size());
  EXPECT_EQ(posts.count(OXPanelController::kTogglePanel), 1);
  EXPECT_TRUE(panel.hasActivePanel());

  panel.loginSuccess();
  ASSERT_TRUE(oxtest::spinUntil([&] { return !panel.isSwitchingView(); }, 20000));
  QWidget* list = panel.panelListController()->view();
  EXPECT_EQ(panel.filledView(), list);
  EXPECT_EQ(panel.window()->size(), list->size());
  EXPECT_EQ(form->view()->parent(), nullptr);

  // Logged out while the form was left in registration mode: it comes back for a login.
  form->switchFormMode();
  ASSERT_TRUE(form->isShowedRegisterForm());
  ox::NotificationCenter::defaultCenter().post(OXPanelController::kLogOut);
  ASSERT_TRUE(oxtest::spinUntil([&] { return panel.filledView() == form->view() && !panel.isSwitchingView(); }));
  EXPECT_FALSE(form->isShowedRegisterForm());

  // A stored session that has not expired: the list at once.
  OXOmbrixAPI().setExpireToken(QDateTime::currentDateTimeUtc().addSecs(600));
  OXPanelController again(&owner);
  again.checkCorrectPanel();
  EXPECT_EQ(again.filledView(), again.panelListController()->view());
}

TEST_F(Panel, TwoSwapsInARowEndWithTheLastOne) {
  Owner owner;
  OXPanelController panel(&owner);
  panel.checkCorrectPanel();
  panel.loginSuccess();
  panel.showSignUpLoginView();  // before the first has faded
  ASSERT_TRUE(oxtest::spinUntil([&] { return !panel.isSwitchingView(); }));
  EXPECT_EQ(panel.filledView(), panel.signUpLoginController()->view());
  EXPECT_EQ(panel.panelListController()->view()->parent(), nullptr);
}

// A session that expired since the last start, with the account's password kept: the panel shows the list at once
// while the account service holds the renewal, and the renewal's session is stored when the answer comes. A renewal
// that fails leaves the account to renew at the next check; a panel that goes while its renewal stalls (the helper
// quitting) goes at once and stores nothing.
TEST_F(Panel, AnExpiredSessionShowsTheListAtOnceAndIsRenewedInTheBackground) {
  oxtest::StandIn& standIn = oxtest::StandIn::shared();
  ASSERT_TRUE(standIn.clear());
  const auto renewals = [&standIn] {
    int n = 0;
    for (const QVariant& r : standIn.requests(QStringLiteral("api")))
      n += r.toMap().value("route") == QStringLiteral("/v1/users/me/sessions");
    return n;
  };
  // An account of this test's own: the keychain is the suite's, shared by the tests that run beside this one.
  const QString mail = QStringLiteral("renewer%1@ombrix.test").arg(QRandomGenerator::global()->generate());
  const QDateTime expired = QDateTime::currentDateTimeUtc().addSecs(-60);
  OXOmbrixAPI api;
  ASSERT_TRUE(api.createUserWithNickname(mail, mail, QStringLiteral("opensesame")));
  const QVariant account = api.userID();
  const auto expire = [&] {
    api.setUserID(7);
    api.setExpireToken(expired);
    api.setToken(QStringLiteral("worn"));
  };
  expire();
  addMovieFolder();
  Owner owner;

  ASSERT_TRUE(standIn.fault("api", "delay", 1, "/users/me/sessions", 60));  // answered once clear() releases it
  OXPanelController panel(&owner);
  const qint64 filling = oxtest::msTakenBy([&] { panel.checkCorrectPanel(); });
  std::printf("panel filled with the renewal stalled: %lld ms\n", filling);
  EXPECT_LT(filling, 1000);
  EXPECT_EQ(panel.filledView(), panel.panelListController()->view());
  ASSERT_TRUE(oxtest::spinUntil([&] { return renewals() == 1; }, 20000));
  oxtest::spinFor(200);
  EXPECT_EQ(api.token(), QStringLiteral("worn"));
  ASSERT_TRUE(standIn.clear());
  ASSERT_TRUE(oxtest::spinUntil([&] { return api.token() != QStringLiteral("worn"); }, 20000));
  EXPECT_FALSE(api.token().isEmpty());
  EXPECT_EQ(api.userID(), account);
  EXPECT_GT(api.expireToken(), QDateTime::currentDateTimeUtc());

  expire();
  ASSERT_TRUE(standIn.fault("api", "500", 1, "/users/me/sessions"));
  OXPanelController failing(&owner);
  failing.checkCorrectPanel();
  EXPECT_EQ(failing.filledView(), failing.panelListController()->view());
  ASSERT_TRUE(oxtest::spinUntil([&] { return api.token().isNull(); }, 20000));
  EXPECT_FALSE(api.expireToken().isValid());
  EXPECT_EQ(api.email(), mail);
  EXPECT_EQ(api.password(), QStringLiteral("opensesame"));

  expire();
  ASSERT_TRUE(standIn.clear());
  ASSERT_TRUE(standIn.fault("api", "stall", -1, "/users/me/sessions", 60));
  auto going = std::make_unique<OXPanelController>(&owner);
  going->checkCorrectPanel();
  ASSERT_TRUE(oxtest::spinUntil([&] { return renewals() == 1; }, 20000));
  EXPECT_LT(oxtest::msTakenBy([&] { going.reset(); }), 1000);
  EXPECT_EQ(api.token(), QStringLiteral("worn"));
  EXPECT_LT(api.expireToken(), QDateTime::currentDateTimeUtc());
  standIn.clear();
  api.logOut();
}

// An e-mail kept from an earlier start whose password the keychain no longer holds: the list shows at once, and the
// form takes its place once the keychain has said so, with nothing sent to the account service.
TEST_F(Panel, AnEMailWithoutAKeptPasswordTurnsToTheFormOnceTheKeychainAnswers) {
  oxtest::StandIn& standIn = oxtest::StandIn::shared();
  ASSERT_TRUE(standIn.clear());
  const QString mail = QStringLiteral("forgotten%1@ombrix.test").arg(QRandomGenerator::global()->generate());
  OXOmbrixAPI().setEmail(mail);
  addMovieFolder();
  Owner owner;
  helpertest::NotificationCounter finished({QStringLiteral("finishSession")});
  OXPanelController panel(&owner);
  panel.checkCorrectPanel();
  EXPECT_EQ(panel.filledView(), panel.panelListController()->view());
  QWidget* form = panel.signUpLoginController()->view();
  ASSERT_TRUE(oxtest::spinUntil([&] { return panel.filledView() == form && !panel.isSwitchingView(); }, 20000));
  EXPECT_EQ(finished.count(QStringLiteral("finishSession")), 1);
  EXPECT_EQ(OXOmbrixAPI().email(), mail);
  EXPECT_TRUE(standIn.requests(QStringLiteral("api")).isEmpty());
}
