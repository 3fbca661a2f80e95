#pragma once
#include <QtGlobal>

#include <memory>
#include <optional>

#include "remote/MultiClickRemoteBehaviorDelegate.h"
#include "remote/RemoteClock.h"
#include "remote/RemoteControl.h"
#include "remote/RemoteControlDelegate.h"

// Stands between a remote control (as its delegate) and the application's remote target. It can count repeated
// clicks of a button within a window (one press and, 0.1 s later, one release with the count when the window
// closes) and can turn a button held for 0.4 s into its hold code for remotes that do not report holds. Both are off
// at creation, so by default every event passes at once with click count 1.
//
// The waits run on the clock's main loop; nothing sleeps. A counted release still waiting when the next event is
// delivered goes first, so the target never sees two presses without the release between. Main thread only.
class MultiClickRemoteBehavior final : public RemoteControlDelegate {
 public:
  static constexpr double kHoldTime = 0.4;
  static constexpr double kCountedReleaseDelay = 0.1;
  static constexpr quint32 kClickableButtons = 126;  // the six buttons Plus to Left

  explicit MultiClickRemoteBehavior(RemoteClock& clock = RemoteClock::mainLoop());
  ~MultiClickRemoteBehavior() override;
  MultiClickRemoteBehavior(const MultiClickRemoteBehavior&) = delete;
  MultiClickRemoteBehavior& operator=(const MultiClickRemoteBehavior&) = delete;

  // A target the behaviour does not own: it outlives the behaviour (the main program's delegate).
  void setDelegate(MultiClickRemoteBehaviorDelegate* delegate);
  // A target the behaviour keeps alive until it goes (the helper's remote controller).
  void setOwnedDelegate(std::shared_ptr<MultiClickRemoteBehaviorDelegate> delegate);
  MultiClickRemoteBehaviorDelegate* delegate() const { return m_delegate; }

  bool simulateHoldEvent() const { return m_simulateHoldEvents; }
  void setSimulateHoldEvent(bool simulate) { m_simulateHoldEvents = simulate; }
  // Codes up to Left, while simulation is on, when the remote does not send the hold code itself.
  bool simulatesHoldForButtonIdentifier(qint32 code, const RemoteControl* remoteControl) const;

  bool clickCountingEnabled() const { return m_clickCountEnabledButtons != 0; }
  void setClickCountingEnabled(bool enabled) { m_clickCountEnabledButtons = enabled ? kClickableButtons : 0; }
  quint32 clickCountEnabledButtons() const { return m_clickCountEnabledButtons; }
  void setClickCountEnabledButtons(quint32 buttons) { m_clickCountEnabledButtons = buttons; }
  double maximumClickCountTimeDifference() const { return m_maxClickTimeDifference; }
  void setMaximumClickCountTimeDifference(double seconds) { m_maxClickTimeDifference = seconds; }

  void sendRemoteButtonEvent(qint32 event, bool pressedDown, RemoteControl* remoteControl) override;

 private:
  struct CountedRelease {
    qint32 code;
    quint32 count;
    quint64 serial;
  };

  void deliver(qint32 code, bool pressedDown, quint32 clickCount);
  void later(double seconds, void (MultiClickRemoteBehavior::*step)(qint32, quint64), qint32 code, quint64 serial);
  void sendSimulatedHoldEvent(qint32 code, quint64 pressSerial);
  void startClickCount(qint32 code, double window);
  void executeClickCountEvent(qint32 code, quint64 clickSerial);
  void closeClickCount();
  void sendCountedRelease(qint32 code, quint64 releaseSerial);
  void flushCountedRelease();

  RemoteClock& m_clock;
  MultiClickRemoteBehaviorDelegate* m_delegate = nullptr;
  std::shared_ptr<MultiClickRemoteBehaviorDelegate> m_ownedDelegate;
  bool m_simulateHoldEvents = false;
  bool m_lastEventSimulatedHold = false;
  qint32 m_lastHoldEvent = 0;
  double m_lastHoldEventTime = 0;
  quint64 m_lastHoldSerial = 0;
  quint32 m_clickCountEnabledButtons = 0;
  double m_maxClickTimeDifference = 0.35;
  quint64 m_lastClickSerial = 0;
  qint32 m_lastClickCountEvent = 0;
  quint32 m_eventClickCount = 0;
  std::optional<CountedRelease> m_countedRelease;
  quint64 m_serial = 0;
  std::shared_ptr<char> m_alive = std::make_shared<char>();
};
