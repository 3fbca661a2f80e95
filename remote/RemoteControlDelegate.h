#pragma once
#include <QtGlobal>

class RemoteControl;

// Receives every decoded button event of a remote control, on the main thread.
class RemoteControlDelegate {
 public:
  virtual ~RemoteControlDelegate() = default;
  // `event` is a RemoteButtonCode; `remoteControl` the sender.
  virtual void sendRemoteButtonEvent(qint32 event, bool pressedDown, RemoteControl* remoteControl) = 0;
};
