#pragma once
#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <functional>
#include <vector>

// One value change of one element of the receiver, named by the element's cookie.
struct HIDElementEvent {
  quint32 cookie = 0;
  qint32 value = 0;
};
// The events the receiver reports together for one button event.
using HIDEventBatch = std::vector<HIDElementEvent>;

// Where a HID remote-control device gets its receiver from: the platform's input devices (EvdevHIDBackend) or a
// stand-in for tests. The device asks, in this order: find, open, element cookies; batches then arrive on the main
// thread until close.
class HIDRemoteBackend {
 public:
  enum class OpenResult {
    Opened,
    Busy,    // another process holds the receiver exclusively
    Failed,  // anything else; the backend has logged why
  };
  using BatchHandler = std::function<void(const HIDEventBatch&)>;

  virtual ~HIDRemoteBackend() = default;

  // Looks for the receiver registered under `deviceName`; answers whether there is one. Later calls use what it found.
  virtual bool findDevice(const QString& deviceName) = 0;
  // A property of the found receiver ("RemoteBuddyEmulationV2"); invalid when it has none.
  virtual QVariant deviceProperty(const QString& key) const = 0;
  // The generation of the cookie layout that this backend's batches follow (it picks the device's cookie table).
  virtual int cookieGeneration() const = 0;

  // Opens the found receiver, with exclusive access when asked. A refused open holds nothing.
  virtual OpenResult open(bool exclusive) = 0;
  // Every event element's cookie of the open receiver, in its order; empty when it has none the remote uses.
  virtual std::vector<quint32> elementCookies() const = 0;
  virtual void setBatchHandler(BatchHandler handler) = 0;
  // Gives back the receiver (and its exclusive access); harmless when not open.
  virtual void close() = 0;
  // False after close, and after the receiver went away.
  virtual bool isOpen() const = 0;
};
