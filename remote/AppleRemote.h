#pragma once
#include <QMap>
#include <QString>

#include <memory>

#include "remote/HIDRemoteControlDevice.h"

// The infrared Apple Remote: the receiver registered as "AppleIRController", with the cookie table of its layout
// generation and the corrections the receiver needs (Menu, Play, Right, Left and Play held come as presses only, so
// a release follows each at once; Menu held comes as a release only, so a press precedes it).
//
// Both programs create one: `AppleRemote::create(...)`, then a MultiClickRemoteBehavior as its delegate, then
// `startListening()`. Main thread only.
class AppleRemote final : public HIDRemoteControlDevice {
 public:
  static const QString kDeviceName;  // "AppleIRController"

  // Nothing (and one log line) when the machine has no receiver. Without a backend, the platform's input devices.
  static std::unique_ptr<AppleRemote> create(std::shared_ptr<RemoteControlDelegate> delegate = {},
                                             std::unique_ptr<HIDRemoteBackend> backend = {});

  // The cookie table for a layout generation: up to 824 the first; above 949 the second, unless the receiver
  // carries the emulation mark; otherwise the third.
  static QMap<QString, qint32> cookieTable(int generation, bool emulationMark);

 protected:
  void sendRemoteButtonEvent(qint32 code, bool pressedDown) override;

 private:
  AppleRemote(std::shared_ptr<RemoteControlDelegate> delegate, std::unique_ptr<HIDRemoteBackend> backend);
};
