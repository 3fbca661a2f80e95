#include "remote/MultiClickRemoteBehavior.h"

#include "remote/RemoteButtonCode.h"

MultiClickRemoteBehavior::MultiClickRemoteBehavior(RemoteClock& clock) : m_clock(clock) {}

MultiClickRemoteBehavior::~MultiClickRemoteBehavior() = default;

void MultiClickRemoteBehavior::setDelegate(MultiClickRemoteBehaviorDelegate* delegate) {
  m_ownedDelegate.reset();
  m_delegate = delegate;
}

void MultiClickRemoteBehavior::setOwnedDelegate(std::shared_ptr<MultiClickRemoteBehaviorDelegate> delegate) {
  m_delegate = delegate.get();
  m_ownedDelegate = std::move(delegate);
}

bool MultiClickRemoteBehavior::simulatesHoldForButtonIdentifier(qint32 code, const RemoteControl* remoteControl) const {
  return code <= RemoteButtonLeft && m_simulateHoldEvents &&
         !(remoteControl && remoteControl->sendsEventForButtonIdentifier(RemoteButtonHoldCode(code)));
}

void MultiClickRemoteBehavior::sendRemoteButtonEvent(qint32 event, bool pressedDown, RemoteControl* remoteControl) {
  if (!m_delegate) return;
  const bool clickable = (quint32(event) & m_clickCountEnabledButtons) == quint32(event);

  if (simulatesHoldForButtonIdentifier(event, remoteControl) && m_lastClickCountEvent == 0) {
    if (pressedDown) {
      // Only one button is held at a time; a new press ends a simulated hold still open.
      if (m_lastEventSimulatedHold) {
        m_lastEventSimulatedHold = false;
        deliver(RemoteButtonHoldCode(m_lastHoldEvent), false, 1);
      }
      m_lastHoldEvent = event;
      m_lastHoldEventTime = m_clock.now();
      m_lastHoldSerial = ++m_serial;
      later(kHoldTime, &MultiClickRemoteBehavior::sendSimulatedHoldEvent, event, m_lastHoldSerial);
      return;
    }
    // A release pairs with the press that is waiting; any other release has no press to end.
    if (m_lastHoldEvent != event) return;
    m_lastHoldEvent = 0;
    if (m_lastEventSimulatedHold) {
      m_lastEventSimulatedHold = false;
      deliver(RemoteButtonHoldCode(event), false, 1);
    } else if (!clickable) {
      deliver(event, true, 1);
      deliver(event, false, 1);
    } else {
      m_eventClickCount = 1;
      // The window runs from the press, which the hold wait held back.
      startClickCount(event, m_maxClickTimeDifference - (m_clock.now() - m_lastHoldEventTime));
    }
    return;
  }

  if (!clickable) {
    deliver(event, pressedDown, 1);
    return;
  }
  if (!pressedDown) return;  // the counted click delivers its own release
  if (m_lastClickCountEvent != 0 && m_lastClickCountEvent != event) closeClickCount();
  m_eventClickCount = m_lastClickCountEvent == event ? m_eventClickCount + 1 : 1;
  startClickCount(event, m_maxClickTimeDifference);
}

void MultiClickRemoteBehavior::deliver(qint32 code, bool pressedDown, quint32 clickCount) {
  flushCountedRelease();
  if (m_delegate) m_delegate->remoteButton(code, pressedDown, clickCount);
}

void MultiClickRemoteBehavior::later(double seconds, void (MultiClickRemoteBehavior::*step)(qint32, quint64),
                                     qint32 code, quint64 serial) {
  m_clock.after(seconds, [this, alive = std::weak_ptr<char>(m_alive), step, code, serial] {
    if (!alive.expired()) (this->*step)(code, serial);
  });
}

void MultiClickRemoteBehavior::sendSimulatedHoldEvent(qint32 code, quint64 pressSerial) {
  // Released or replaced since: that press is not held.
  if (m_lastHoldEvent != code || m_lastHoldSerial != pressSerial || m_lastEventSimulatedHold) return;
  m_lastEventSimulatedHold = true;
  deliver(RemoteButtonHoldCode(code), true, 1);
}

void MultiClickRemoteBehavior::startClickCount(qint32 code, double window) {
  m_lastClickCountEvent = code;
  m_lastClickSerial = ++m_serial;
  later(window, &MultiClickRemoteBehavior::executeClickCountEvent, code, m_lastClickSerial);
}

void MultiClickRemoteBehavior::executeClickCountEvent(qint32 code, quint64 clickSerial) {
  // A later click (of this button, or of another that closed this window early) owns the window now.
  if (m_lastClickCountEvent != code || m_lastClickSerial != clickSerial) return;
  closeClickCount();
}

void MultiClickRemoteBehavior::closeClickCount() {
  const qint32 code = m_lastClickCountEvent;
  const quint32 count = m_eventClickCount;
  m_lastClickCountEvent = 0;
  m_eventClickCount = 0;
  deliver(code, true, count);
  m_countedRelease = CountedRelease{code, count, ++m_serial};
  later(kCountedReleaseDelay, &MultiClickRemoteBehavior::sendCountedRelease, code, m_countedRelease->serial);
}

void MultiClickRemoteBehavior::sendCountedRelease(qint32, quint64 releaseSerial) {
  if (m_countedRelease && m_countedRelease->serial == releaseSerial) flushCountedRelease();
}

void MultiClickRemoteBehavior::flushCountedRelease() {
  if (!m_countedRelease) return;
  const CountedRelease release = *m_countedRelease;
  m_countedRelease.reset();
  if (m_delegate) m_delegate->remoteButton(release.code, false, release.count);
}
