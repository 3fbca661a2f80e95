#pragma once
#include <QtGlobal>

#include <map>
#include <memory>
#include <vector>

#include "remote/HIDRemoteBackend.h"
#include "remote/RemoteClock.h"

// Turns the key events of a Linux infrared receiver into the element batches of the Apple Remote's receiver, in the
// layout of cookie generation kCookieGeneration. Plus and Minus report press and release. Menu, Play, Right and Left
// are held back until they are let go (a click) or have been down for kHoldTime (a hold): the receiver reports
// Menu held as a release, Play held as a press, Right and Left held as a press and, when let go, a release.
// Key repeats are ignored. Main thread only.
class EvdevKeyBatcher {
 public:
  // Any generation above 949 selects the cookie table these batches follow.
  static constexpr int kCookieGeneration = 1000;
  static constexpr double kHoldTime = 0.4;

  explicit EvdevKeyBatcher(RemoteClock& clock = RemoteClock::mainLoop());
  EvdevKeyBatcher(const EvdevKeyBatcher&) = delete;
  EvdevKeyBatcher& operator=(const EvdevKeyBatcher&) = delete;

  void setBatchHandler(HIDRemoteBackend::BatchHandler handler) { m_handler = std::move(handler); }

  // Whether the key code (linux/input-event-codes.h) is one of the remote's buttons.
  static bool handlesKey(unsigned int keyCode);
  // Every cookie the batches use, ascending.
  static std::vector<quint32> elementCookies();

  // `value`: 0 up, 1 down, 2 repeat.
  void keyEvent(unsigned int keyCode, int value);
  // Forgets the keys that are down (the device was closed or lost events), releasing those whose press went out:
  // Plus and Minus, and Right and Left once held. Their later key-up events are ignored.
  void reset();

 private:
  enum class Button { Plus, Minus, Menu, Play, Right, Left };
  struct Down {
    Button button;
    quint64 serial;
    bool held;
  };

  static bool buttonForKey(unsigned int keyCode, Button* button);
  void holdTimeReached(unsigned int keyCode, quint64 serial);
  // The batch of a key that is up: its release, or its click (`clicks`) when nothing went out at the press.
  void release(const Down& state, bool clicks);
  void send(const HIDEventBatch& batch);

  RemoteClock& m_clock;
  HIDRemoteBackend::BatchHandler m_handler;
  std::map<unsigned int, Down> m_down;
  quint64 m_serial = 0;
  std::shared_ptr<char> m_alive = std::make_shared<char>();
};
