#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include "helper/OXSignUpLoginController.h"
#include "scanner/OXOmbrixAPI.h"
#include "tests/helper/HelperTestSupport.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

namespace {

struct Delegate : OXSignUpLoginControllerDelegate {
  void loginSuccess() override { ++successes; }
  int successes = 0;
};

// Return typed in a field, as the keyboard delivers it.
void pressReturn(QWidget* field) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(field, &press);
}

QVariantList accountRequests(const QString& route) {
  QVariantList seen;
  for (const QVariant& r : oxtest::StandIn::shared().requests(QStringLiteral("api")))
    if (r.toMap().value("route") == route) seen << r;
  return seen;
}

class Form : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(oxtest::StandIn::shared().isRunning());
    oxtest::StandIn::shared().clear();
    helpertest::resetHelperState();
    form.setDelegate(&delegate);
  }
  void fill(const QString& email, const QString& pass, const QString& repeat = {}) {
    form.emailField()->setText(email);
    form.passField()->setText(pass);
    form.rePassField()->setText(repeat);
  }
  bool answered() {
    return oxtest::spinUntil([&] { return !form.isBusy(); }, 20000);
  }
  QString message() const { return form.line1Message()->text() + "|" + form.line2Message()->text(); }
  bool red() const { return form.line1Message()->styleSheet().contains("#ff3b30"); }

  OXSignUpLoginController form;
  Delegate delegate;
};

}  // namespace

TEST_F(Form, SwitchingModesMovesTheLowerPartAndEmptiesOnlyTheRepeat) {
  ASSERT_FALSE(form.isShowedRegisterForm());
  fill("a@b.test", "one", "two");
  form.switchFormMode();
  EXPECT_TRUE(form.isShowedRegisterForm());  // at once, while the lower part still moves
  EXPECT_EQ(form.rePassField()->text(), "");
  EXPECT_EQ(form.actionButton()->text(), "Register");
  EXPECT_EQ(form.switchFormButton()->text(), "Have an Account?");
  ASSERT_TRUE(
      oxtest::spinUntil([&] { return form.bottomFormView()->geometry().bottom() + 1 == form.view()->height(); }));

  form.rePassField()->setText("two");
  form.switchFormMode();
  EXPECT_FALSE(form.isShowedRegisterForm());
  ASSERT_TRUE(oxtest::spinUntil(
      [&] { return form.bottomFormView()->geometry().bottom() + 1 == form.view()->height() - 42; }));
  EXPECT_EQ(form.emailField()->text() + form.passField()->text() + form.rePassField()->text(), "a@b.testonetwo");
  EXPECT_EQ(form.actionButton()->text(), "Login");
  // In login mode the lower part covers the repeat field.
  EXPECT_LE(form.bottomFormView()->geometry().top(), form.rePassField()->geometry().top());
}

TEST_F(Form, MismatchedPasswordsAreCaughtBeforeAnythingIsSent) {
  form.switchFormMode();
  fill("new@ombrix.test", "one", "two");
  form.actionAPI();
  EXPECT_FALSE(form.isBusy());
  EXPECT_EQ(message(), "Passwords must match|");
  EXPECT_TRUE(red());
  EXPECT_TRUE(accountRequests("/v1/users").isEmpty());
}

TEST_F(Form, ReturnNeedsEveryFieldWhileTheButtonSendsAnyway) {
  fill("tester@ombrix.test", "");
  pressReturn(form.emailField());
  EXPECT_FALSE(form.isBusy());
  form.switchFormMode();
  fill("tester@ombrix.test", "x", "");
  form.actionReturn();
  EXPECT_FALSE(form.isBusy());
  EXPECT_TRUE(oxtest::StandIn::shared().requests(QStringLiteral("api")).isEmpty());

  form.switchFormMode();
  fill("", "");
  form.actionButton()->click();
  ASSERT_TRUE(answered());
  EXPECT_EQ(accountRequests("/v1/users/me/sessions").size(), 1);
  EXPECT_EQ(message(), "Check your email and/or password|or your internet connection.");
  EXPECT_TRUE(red());
  EXPECT_EQ(delegate.successes, 0);
}

TEST_F(Form, RegistrationUsesTheEmailAsNicknameAndClearsTheFormOnSuccess) {
  const QString mail = QStringLiteral("new%1@ombrix.test").arg(QRandomGenerator::global()->generate());
  form.switchFormMode();
  fill(mail, "s3cret", "s3cret");
  pressReturn(form.rePassField());
  ASSERT_TRUE(answered());
  EXPECT_EQ(delegate.successes, 1);
  const QVariantList sent = accountRequests("/v1/users");
  ASSERT_EQ(sent.size(), 1);
  const QString field = QString::fromLatin1(QUrl::toPercentEncoding(mail));
  EXPECT_EQ(sent[0].toMap().value("body").toString(), "email=" + field + "&nickname=" + field + "&password=s3cret");
  EXPECT_EQ(form.emailField()->text() + form.passField()->text() + form.rePassField()->text(), "");
  EXPECT_EQ(message(), "Create your Ombrix account and engage with|friends and see what they are up to.");
  EXPECT_FALSE(red());
  EXPECT_TRUE(form.isShowedRegisterForm());  // the mode stays

  // The same address again: refused, the text stays for another try.
  fill(mail, "s3cret", "s3cret");
  form.actionAPI();
  ASSERT_TRUE(answered());
  EXPECT_EQ(message(), "Wrong registration|There is someting wrong. Try it again");
  EXPECT_EQ(form.emailField()->text(), mail);
  EXPECT_EQ(delegate.successes, 1);
}

TEST_F(Form, APressWhileTheCallRunsIsDroppedAndThePanelStaysResponsive) {
  oxtest::StandIn::shared().fault("api", "stall", 1, "/v1/users/me/sessions", 1.5);
  fill("tester@ombrix.test", "opensesame");
  form.actionButton()->click();
  ASSERT_TRUE(form.isBusy());
  bool ranMeanwhile = false;
  QTimer::singleShot(50, [&] { ranMeanwhile = true; });
  oxtest::spinFor(200);
  EXPECT_TRUE(ranMeanwhile);
  EXPECT_FALSE(form.actionButton()->isEnabled());
  form.actionAPI();
  form.actionReturn();
  ASSERT_TRUE(answered());
  EXPECT_EQ(accountRequests("/v1/users/me/sessions").size(), 1);
  EXPECT_TRUE(form.actionButton()->isEnabled());

  // With the stall gone the same login goes through and stores the session.
  form.actionButton()->click();
  ASSERT_TRUE(answered());
  EXPECT_EQ(delegate.successes, 1);
  EXPECT_EQ(OXOmbrixAPI().email(), "tester@ombrix.test");
  EXPECT_TRUE(OXOmbrixAPI().checkToken());
}

// The helper quitting takes the form down in the middle of a login the service does not answer: the request ends
// rather than hold the exit until its time limit, and its end reaches nothing of the form.
TEST_F(Form, AFormThatGoesWhileItsLoginStallsGoesAtOnce) {
  oxtest::StandIn::shared().fault("api", "stall", -1, "/v1/users/me/sessions", 60);
  auto going = std::make_unique<OXSignUpLoginController>();
  going->setDelegate(&delegate);
  going->emailField()->setText("tester@ombrix.test");
  going->passField()->setText("opensesame");
  going->actionButton()->click();
  ASSERT_TRUE(oxtest::spinUntil([] { return accountRequests("/v1/users/me/sessions").size() == 1; }));
  EXPECT_LT(oxtest::msTakenBy([&] { going.reset(); }), 1000);
  oxtest::spinFor(200);
  EXPECT_EQ(delegate.successes, 0);
  EXPECT_TRUE(OXOmbrixAPI().email().isEmpty());
  oxtest::StandIn::shared().clear();
}
