#pragma once
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace oxtest {

// A session bus of one test's own (a dbus-daemon child), for programs that own bus names: tests running side by side
// on the suite's shared bus would take each other's names. It activates no services.
class PrivateBus {
 public:
  PrivateBus();
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  bool isRunning() const { return !address_.isEmpty(); }
  // The address to put in DBUS_SESSION_BUS_ADDRESS.
  QString address() const { return address_; }
  // Whether some connection owns `name` on this bus (asked on a connection of the test's own).
  bool hasOwner(const QString& name) const;

 private:
  QTemporaryDir dir_;
  std::unique_ptr<QProcess> daemon_;
  QString address_;
  QString connectionName_;
};

}  // namespace oxtest
