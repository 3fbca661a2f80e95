#pragma once
#include <QObject>
#include <QPointer>
#include <memory>

#include "helper/OXSignUpLoginControllerDelegate.h"
#include "platform/foundation/OperationQueue.h"

class QLabel;
class QLineEdit;
class QPropertyAnimation;
class QPushButton;
class QWidget;
namespace ox {
class HttpCancel;
}

// The account form the panel shows while there is no valid session: login (e-mail and password) or registration
// (e-mail, password and the password repeated). The lower part of the form moves up by 42 points in login mode and
// covers the repeat field; its position is the mode.
//
// The account call runs on a queue of its own, so the panel stays responsive; while it runs the form takes no input
// and a second send is dropped, so a click never starts a second call (nor a second keychain wait) over the first.
// A form that goes ends its call's request at once rather than wait for the service's answer.
class OXSignUpLoginController : public QObject {
  Q_OBJECT
 public:
  static constexpr int kLoginOffset = 42;

  OXSignUpLoginController();
  ~OXSignUpLoginController() override;

  QWidget* view() const { return view_.data(); }
  QWidget* bottomFormView() const { return bottomFormView_; }
  QLineEdit* emailField() const { return emailField_; }
  QLineEdit* passField() const { return passField_; }
  QLineEdit* rePassField() const { return rePassField_; }
  QPushButton* switchFormButton() const { return switchFormButton_; }
  QPushButton* actionButton() const { return actionButton_; }
  QLabel* line1Message() const { return line1Message_; }
  QLabel* line2Message() const { return line2Message_; }

  OXSignUpLoginControllerDelegate* delegate() const { return delegate_; }
  void setDelegate(OXSignUpLoginControllerDelegate* delegate) { delegate_ = delegate; }

  // The registration form shows: the lower part stands at the bottom (or is missing). A move under way counts as
  // done, so a second switch during the animation goes back.
  bool isShowedRegisterForm() const;
  void switchFormMode();
  void actionAPI();
  void actionReturn();
  // An account call is under way.
  bool isBusy() const { return busy_; }

  void showDefaultMessage();
  void showMessageFailedRegister();
  void showMessageFailedLogin();
  void showMessagePassRePassIsNotEqual();

 private:
  void accountAnswered(bool success, bool registering);
  void setBusy(bool busy);
  void showMessage(const QString& line1, const QString& line2, const QColor& colour);
  // Bottom-up y of the lower part's frame: 0 for registration, 42 for login.
  int bottomOrigin() const;
  int topForBottomOrigin(int origin) const;

  QPointer<QWidget> view_;
  QWidget* bottomFormView_ = nullptr;
  QLineEdit* emailField_ = nullptr;
  QLineEdit* passField_ = nullptr;
  QLineEdit* rePassField_ = nullptr;
  QPushButton* switchFormButton_ = nullptr;
  QPushButton* actionButton_ = nullptr;
  QLabel* line1Message_ = nullptr;
  QLabel* line2Message_ = nullptr;
  QPointer<QPropertyAnimation> move_;
  OXSignUpLoginControllerDelegate* delegate_ = nullptr;
  bool busy_ = false;
  const std::shared_ptr<ox::HttpCancel> cancel_;
  ox::OperationQueue accountQueue_{1};
};
