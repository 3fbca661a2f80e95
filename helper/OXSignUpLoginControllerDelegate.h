#pragma once

// Told by the account form after a successful login or registration (the panel, which then shows the library).
class OXSignUpLoginControllerDelegate {
 public:
  virtual ~OXSignUpLoginControllerDelegate() = default;
  virtual void loginSuccess() = 0;
};
