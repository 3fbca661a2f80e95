#include "remote/HIDRemoteControlDevice.h"

#include "platform/foundation/Log.h"

HIDRemoteControlDevice::HIDRemoteControlDevice(std::shared_ptr<RemoteControlDelegate> delegate,
                                               const QString& deviceName, std::unique_ptr<HIDRemoteBackend> backend)
    : RemoteControl(std::move(delegate), deviceName), m_backend(std::move(backend)) {
  m_backend->setBatchHandler([this](const HIDEventBatch& batch) { handleEventBatch(batch); });
}

HIDRemoteControlDevice::~HIDRemoteControlDevice() {
  removeNotificationObserver();
  // Not the virtual stopListening: a subclass is already gone here.
  if (HIDRemoteControlDevice::isListeningToRemote()) closeRemoteControlDevice(true);
  m_backend->close();
  m_backend->setBatchHandler({});
}

void HIDRemoteControlDevice::setListeningToRemote(bool listening) {
  if (listening)
    startListening();
  else
    stopListening();
}

bool HIDRemoteControlDevice::isListeningToRemote() const { return m_backend->isOpen() && !m_allCookies.empty(); }

void HIDRemoteControlDevice::startListening() {
  if (isListeningToRemote()) return;
  openRemoteControlDevice();
}

void HIDRemoteControlDevice::stopListening() {
  // A device told to stop no longer waits to take the receiver over.
  removeNotificationObserver();
  if (!isListeningToRemote()) return;
  closeRemoteControlDevice(true);
}

bool HIDRemoteControlDevice::sendsEventForButtonIdentifier(qint32 code) const {
  return (code & supportedButtonEvents()) == code;
}

void HIDRemoteControlDevice::openRemoteControlDevice() {
  if (!m_backend->findDevice(remoteControlDeviceName())) return;
  // A receiver that went away while open is given back before it is opened again.
  if (!m_allCookies.empty()) closeRemoteControlDevice(false);
  switch (m_backend->open(isOpenInExclusiveMode())) {
    case HIDRemoteBackend::OpenResult::Opened:
      break;
    case HIDRemoteBackend::OpenResult::Busy:
      if (!isWaitingForRemote()) {
        m_availabilityObserver = ox::DistributedNotificationCenter::defaultCenter().addObserver(
            kFinishedUsingRemoteControl, QString(),
            [this](const ox::DistributedNotification&) { remoteControlAvailable(); });
      }
      sendRequestForRemoteControlNotification();
      return;
    case HIDRemoteBackend::OpenResult::Failed:
      return;
  }
  m_allCookies = m_backend->elementCookies();
  if (m_allCookies.empty()) {
    OXLOG("remote control \"%s\": the receiver reports no button elements", qPrintable(remoteControlDeviceName()));
    // Nothing was announced, so nothing is announced on the way back.
    closeRemoteControlDevice(false);
    return;
  }
  // The session's end is announced, often from a destructor as the program ends: the bus is joined now, while the
  // event loop still turns, since a connection first made from the main thread needs one more turn to be set up
  // whole (and one made at the end would hold the teardown up for its round trip).
  if (isOpenInExclusiveMode()) ox::DistributedNotificationCenter::defaultCenter();
}

void HIDRemoteControlDevice::closeRemoteControlDevice(bool sendFinishedNotification) {
  const bool sessionWasOpen = m_backend->isOpen() && !m_allCookies.empty();
  m_backend->close();
  m_allCookies.clear();
  m_pressed.clear();
  if (sendFinishedNotification && isOpenInExclusiveMode() && sessionWasOpen)
    sendFinishedNotificationForAppIdentifier(QString());
}

void HIDRemoteControlDevice::removeNotificationObserver() {
  if (!m_availabilityObserver) return;
  ox::DistributedNotificationCenter::defaultCenter().removeObserver(m_availabilityObserver);
  m_availabilityObserver = 0;
}

void HIDRemoteControlDevice::remoteControlAvailable() {
  removeNotificationObserver();
  startListening();
}

void HIDRemoteControlDevice::handleEventBatch(const HIDEventBatch& batch) {
  qint64 sum = 0;
  const QString text = HIDCookieDecoder::cookieString(batch, &sum);
  handleEventWithCookieString(text, sum);
}

void HIDRemoteControlDevice::handleEventWithCookieString(const QString& cookieString, qint64 sumOfValues) {
  const HIDCookieDecoder::Result result = m_decoder.decode(cookieString, sumOfValues, m_processesBacklog);
  for (const HIDButtonEvent& event : result.events) sendRemoteButtonEvent(event.code, event.pressedDown);
  if (!result.unknown.isEmpty()) OXLOG("Unknown button for cookiestring %s", qPrintable(result.unknown));
}

void HIDRemoteControlDevice::sendRemoteButtonEvent(qint32 code, bool pressedDown) {
  if (pressedDown)
    m_pressed.insert(code);
  else if (m_pressed.erase(code) == 0)
    return;
  if (RemoteControlDelegate* target = delegate()) target->sendRemoteButtonEvent(code, pressedDown, this);
}
