#include "helper/OXSignUpLoginController.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QPushButton>

#include "platform/foundation/HttpClient.h"
#include "platform/foundation/MainQueue.h"
#include "scanner/OXOmbrixAPI.h"

namespace {

constexpr int kWidth = 340;
constexpr int kHeight = 380;
constexpr int kBottomHeight = 150;
constexpr int kFieldX = 30;
constexpr int kFieldWidth = kWidth - 2 * kFieldX;
constexpr int kAnimationMs = 250;

const QColor kDefaultMessageColour = QColor::fromRgbF(0.515625f, 0.515625f, 0.515625f, 1.0f);
const QColor kErrorColour = QColor(255, 59, 48);

// The lower part of the form paints the panel's colour, so in login mode it hides the repeat field under it.
class BottomFormView : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Square top, bottom corners rounded as the panel's, one point inside its outline.
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addRoundedRect(QRectF(rect()).adjusted(1, 0, -1, -1), 9, 9);
    path.addRect(QRectF(1, 0, width() - 2, 12));
    painter.fillPath(path.simplified(), QColor(244, 244, 246));
  }
};

QLineEdit* field(QWidget* parent, int y, const QString& placeholder, bool secret) {
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(kFieldX, y, kFieldWidth, 30);
  edit->setPlaceholderText(placeholder);
  if (secret) edit->setEchoMode(QLineEdit::Password);
  return edit;
}

QLabel* messageLine(QWidget* parent, int y) {
  auto* label = new QLabel(parent);
  label->setGeometry(10, y, kWidth - 20, 18);
  label->setAlignment(Qt::AlignCenter);
  return label;
}

}  // namespace

OXSignUpLoginController::OXSignUpLoginController()
    : view_(new QWidget), cancel_(std::make_shared<ox::HttpCancel>()) {
  view_->setObjectName(QStringLiteral("OXSignUpLoginController"));
  view_->resize(kWidth, kHeight);

  auto* title = new QLabel(tr("Ombrix"), view_);
  title->setGeometry(0, 28, kWidth, 40);
  title->setAlignment(Qt::AlignCenter);
  QFont big = title->font();
  big.setPointSizeF(big.pointSizeF() * 2);
  big.setBold(true);
  title->setFont(big);
  auto* subtitle = new QLabel(tr("Your movies and TV shows, everywhere at home."), view_);
  subtitle->setGeometry(0, 72, kWidth, 20);
  subtitle->setAlignment(Qt::AlignCenter);

  emailField_ = field(view_, 110, tr("E-mail"), false);
  passField_ = field(view_, 150, tr("Password"), true);
  rePassField_ = field(view_, 190, tr("Repeat password"), true);

  bottomFormView_ = new BottomFormView(view_);
  bottomFormView_->setGeometry(0, topForBottomOrigin(kLoginOffset), kWidth, kBottomHeight);
  line1Message_ = messageLine(bottomFormView_, 8);
  line2Message_ = messageLine(bottomFormView_, 26);
  actionButton_ = new QPushButton(QStringLiteral("Login"), bottomFormView_);
  actionButton_->setGeometry(kFieldX, 56, kFieldWidth, 34);
  actionButton_->setDefault(true);
  switchFormButton_ = new QPushButton(QStringLiteral("Need an Account?"), bottomFormView_);
  switchFormButton_->setGeometry(kFieldX, 98, kFieldWidth, 26);
  switchFormButton_->setFlat(true);
  bottomFormView_->raise();

  QWidget::setTabOrder(emailField_, passField_);
  QWidget::setTabOrder(passField_, emailField_);
  showDefaultMessage();

  connect(actionButton_, &QPushButton::clicked, this, [this] { actionAPI(); });
  connect(switchFormButton_, &QPushButton::clicked, this, [this] { switchFormMode(); });
  for (QLineEdit* edit : {emailField_, passField_, rePassField_})
    connect(edit, &QLineEdit::returnPressed, this, [this] { actionReturn(); });
}

OXSignUpLoginController::~OXSignUpLoginController() {
  cancel_->cancel();
  delete view_.data();
}

int OXSignUpLoginController::topForBottomOrigin(int origin) const { return kHeight - kBottomHeight - origin; }

int OXSignUpLoginController::bottomOrigin() const {
  const int top = move_ ? move_->endValue().toPoint().y() : bottomFormView_->y();
  return kHeight - kBottomHeight - top;
}

bool OXSignUpLoginController::isShowedRegisterForm() const { return !bottomFormView_ || bottomOrigin() == 0; }

void OXSignUpLoginController::switchFormMode() {
  const bool toLogin = isShowedRegisterForm();
  if (move_) move_->stop();
  auto* move = new QPropertyAnimation(bottomFormView_, "pos", this);
  move->setDuration(kAnimationMs);
  move->setEndValue(QPoint(0, topForBottomOrigin(toLogin ? kLoginOffset : 0)));
  move_ = move;
  if (toLogin) {
    switchFormButton_->setText(QStringLiteral("Need an Account?"));
    actionButton_->setText(QStringLiteral("Login"));
    QWidget::setTabOrder(passField_, emailField_);
  } else {
    rePassField_->clear();
    switchFormButton_->setText(QStringLiteral("Have an Account?"));
    actionButton_->setText(QStringLiteral("Register"));
    QWidget::setTabOrder(passField_, rePassField_);
    QWidget::setTabOrder(rePassField_, emailField_);
  }
  move->start(QAbstractAnimation::DeleteWhenStopped);
}

void OXSignUpLoginController::actionAPI() {
  if (busy_) return;
  const bool registering = isShowedRegisterForm();
  const QString email = emailField_->text();
  const QString password = passField_->text();
  if (registering && password != rePassField_->text()) {
    showMessagePassRePassIsNotEqual();
    return;
  }
  setBusy(true);
  accountQueue_.addOperationWithBlock([self = QPointer<OXSignUpLoginController>(this), cancel = cancel_, registering,
                                       email, password] {
    ox::HttpCancelScope scope(cancel);
    OXOmbrixAPI api;
    // The nickname of a new account is its e-mail.
    const bool success =
        registering ? api.createUserWithNickname(email, email, password) : api.loginWithEmail(email, password);
    if (cancel->isCancelled()) return;  // the form is gone
    ox::dispatchMain([self, success, registering] {
      if (self) self->accountAnswered(success, registering);
    });
  });
}

void OXSignUpLoginController::accountAnswered(bool success, bool registering) {
  setBusy(false);
  if (!success) {
    registering ? showMessageFailedRegister() : showMessageFailedLogin();
    return;
  }
  if (delegate_) delegate_->loginSuccess();
  showDefaultMessage();
  emailField_->clear();
  passField_->clear();
  rePassField_->clear();
}

void OXSignUpLoginController::actionReturn() {
  const bool filled = !emailField_->text().isEmpty() && !passField_->text().isEmpty() &&
                      (!isShowedRegisterForm() || !rePassField_->text().isEmpty());
  if (filled) actionAPI();
}

void OXSignUpLoginController::setBusy(bool busy) {
  busy_ = busy;
  for (QWidget* w : std::initializer_list<QWidget*>{emailField_, passField_, rePassField_, actionButton_,
                                                    switchFormButton_})
    w->setEnabled(!busy);
}

void OXSignUpLoginController::showMessage(const QString& line1, const QString& line2, const QColor& colour) {
  const QString style = QStringLiteral("color: %1;").arg(colour.name());
  line1Message_->setStyleSheet(style);
  line2Message_->setStyleSheet(style);
  line1Message_->setText(line1);
  line2Message_->setText(line2);
}

void OXSignUpLoginController::showDefaultMessage() {
  showMessage(tr("Create your Ombrix account and engage with"), tr("friends and see what they are up to."),
              kDefaultMessageColour);
}

void OXSignUpLoginController::showMessageFailedRegister() {
  showMessage(tr("Wrong registration"), tr("There is someting wrong. Try it again"), kErrorColour);
}

void OXSignUpLoginController::showMessageFailedLogin() {
  showMessage(tr("Check your email and/or password"), tr("or your internet connection."), kErrorColour);
}

void OXSignUpLoginController::showMessagePassRePassIsNotEqual() {
  showMessage(tr("Passwords must match"), QString(), kErrorColour);
}
