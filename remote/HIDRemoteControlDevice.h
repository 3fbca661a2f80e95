#pragma once
#include <QMap>
#include <QString>

#include <memory>
#include <set>
#include <vector>

#include "platform/system/DistributedNotificationCenter.h"
#include "remote/HIDCookieDecoder.h"
#include "remote/HIDRemoteBackend.h"
#include "remote/RemoteControl.h"

// A remote control read from a HID receiver through a backend: the receiver is opened (exclusively by default),
// each event batch is decoded through the subclass's cookie table and sent to the delegate on the main thread.
//
// When another process holds the receiver, the device posts the request notification and waits, observing the
// finished notification once however often it was refused; that notification starts listening again. Closing an
// exclusive session announces it with the finished notification, on the bus joined as the session opened. A release
// whose press the delegate never got is dropped. Main thread only.
class HIDRemoteControlDevice : public RemoteControl {
 public:
  ~HIDRemoteControlDevice() override;

  void setListeningToRemote(bool listening) override;
  // Open, with element cookies, and not gone away.
  bool isListeningToRemote() const override;
  // Does nothing when listening; a refused or failed open leaves the device not listening, holding nothing.
  void startListening() override;
  // Stops waiting for the receiver; when listening, closes and announces the end of an exclusive session.
  void stopListening() override;
  bool isOpenInExclusiveMode() const override { return m_openInExclusiveMode; }
  void setOpenInExclusiveMode(bool exclusive) override { m_openInExclusiveMode = exclusive; }
  bool sendsEventForButtonIdentifier(qint32 code) const override;

  bool processesBacklog() const { return m_processesBacklog; }
  void setProcessesBacklog(bool processes) { m_processesBacklog = processes; }
  const QMap<QString, qint32>& cookieToButtonMapping() const { return m_decoder.table(); }
  qint32 supportedButtonEvents() const { return m_decoder.supportedButtonEvents(); }
  // A refused exclusive open is waiting for the finished notification.
  bool isWaitingForRemote() const { return m_availabilityObserver != 0; }

  // Decodes one batch as the receiver delivers it.
  void handleEventBatch(const HIDEventBatch& batch);

 protected:
  HIDRemoteControlDevice(std::shared_ptr<RemoteControlDelegate> delegate, const QString& deviceName,
                         std::unique_ptr<HIDRemoteBackend> backend);

  HIDRemoteBackend& backend() const { return *m_backend; }
  void setCookieMapping(const QMap<QString, qint32>& table) { m_decoder = HIDCookieDecoder(table); }

  // Subclasses correct events here and pass them on to this base send, which reaches the delegate.
  virtual void sendRemoteButtonEvent(qint32 code, bool pressedDown);

  void openRemoteControlDevice();
  void closeRemoteControlDevice(bool sendFinishedNotification);

 private:
  void handleEventWithCookieString(const QString& cookieString, qint64 sumOfValues);
  void removeNotificationObserver();
  void remoteControlAvailable();

  std::unique_ptr<HIDRemoteBackend> m_backend;
  HIDCookieDecoder m_decoder;
  std::vector<quint32> m_allCookies;
  std::set<qint32> m_pressed;  // codes whose press reached the delegate and whose release has not
  bool m_openInExclusiveMode = true;
  bool m_processesBacklog = false;
  ox::DistributedNotificationCenter::Token m_availabilityObserver = 0;
};
