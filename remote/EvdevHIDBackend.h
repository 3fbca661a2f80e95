#pragma once
#include <QString>

#include <memory>

#include "remote/EvdevKeyBatcher.h"
#include "remote/HIDRemoteBackend.h"
#include "remote/RemoteClock.h"

class QSocketNotifier;
struct libevdev;

// The receiver among the Linux input devices (/dev/input/event*), read with libevdev. Exclusive access is the
// device grab (EVIOCGRAB), which the kernel refuses with EBUSY while another process holds it. Reading a device node
// needs the user in the "input" group or a udev rule that opens the receiver to the desktop user.
class EvdevHIDBackend final : public HIDRemoteBackend {
 public:
  // `devicePath` empty: the receiver is looked up among the input devices at each find.
  explicit EvdevHIDBackend(const QString& devicePath = {}, RemoteClock& clock = RemoteClock::mainLoop());
  ~EvdevHIDBackend() override;

  bool findDevice(const QString& deviceName) override;
  QVariant deviceProperty(const QString& key) const override;
  int cookieGeneration() const override { return EvdevKeyBatcher::kCookieGeneration; }
  OpenResult open(bool exclusive) override;
  std::vector<quint32> elementCookies() const override;
  void setBatchHandler(BatchHandler handler) override { m_batcher.setBatchHandler(std::move(handler)); }
  void close() override;
  bool isOpen() const override { return m_device != nullptr; }

  const QString& devicePath() const { return m_path; }

  // The node of the infrared receiver among the devices described below `sysClassInput` (".../eventN/device/name"):
  // the first whose name is an Apple receiver's, else the first that names itself an infrared receiver; empty when
  // none does.
  static QString findReceiver(const QString& sysClassInput = QStringLiteral("/sys/class/input"),
                              const QString& devInput = QStringLiteral("/dev/input"));
  static bool isReceiverName(const QString& name);
  static bool isAppleReceiverName(const QString& name);

 private:
  void readEvents();

  QString m_fixedPath;
  QString m_path;
  int m_fd = -1;
  libevdev* m_device = nullptr;
  std::unique_ptr<QSocketNotifier> m_notifier;
  bool m_reading = false;
  EvdevKeyBatcher m_batcher;
};
