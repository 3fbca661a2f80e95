#pragma once
#include <QtGlobal>

// The application's side of the remote: button events after click counting and hold simulation, on the main thread.
class MultiClickRemoteBehaviorDelegate {
 public:
  virtual ~MultiClickRemoteBehaviorDelegate() = default;
  // `event` is a RemoteButtonCode; `clickCount` is 1 unless click counting is on for the button.
  virtual void remoteButton(qint32 event, bool pressedDown, quint32 clickCount) = 0;
};
