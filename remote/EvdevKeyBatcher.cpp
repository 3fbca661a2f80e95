#include "remote/EvdevKeyBatcher.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <initializer_list>
#include <set>

namespace {

// The batch of the cookies in order, `valueCookie`'s first event carrying `value` and every other 0.
HIDEventBatch batch(std::initializer_list<quint32> cookies, quint32 valueCookie, qint32 value) {
  HIDEventBatch events;
  bool placed = false;
  for (quint32 cookie : cookies) {
    const bool carries = !placed && cookie == valueCookie;
    placed = placed || carries;
    events.push_back({cookie, carries ? value : 0});
  }
  return events;
}

HIDEventBatch twice(std::initializer_list<quint32> cookies, quint32 valueCookie, qint32 value) {
  HIDEventBatch events = batch(cookies, valueCookie, value);
  const HIDEventBatch second = batch(cookies, valueCookie, 0);
  events.insert(events.end(), second.begin(), second.end());
  return events;
}

HIDEventBatch plus(qint32 v) { return batch({33, 31, 30, 21, 20, 2}, 31, v); }
HIDEventBatch minus(qint32 v) { return batch({33, 32, 30, 21, 20, 2}, 32, v); }
HIDEventBatch click(quint32 element) { return twice({33, element, 21, 20, 2}, element, 1); }
HIDEventBatch rightHeld(qint32 v) { return batch({33, 21, 20, 14, 12, 2}, 14, v); }
HIDEventBatch leftHeld(qint32 v) { return batch({33, 21, 20, 13, 12, 2}, 13, v); }
HIDEventBatch menuHeld() { return twice({33, 21, 20, 2}, 21, 0); }
HIDEventBatch playHeld() { return twice({37, 33, 21, 20, 2}, 37, 1); }

}  // namespace

EvdevKeyBatcher::EvdevKeyBatcher(RemoteClock& clock) : m_clock(clock) {}

bool EvdevKeyBatcher::buttonForKey(unsigned int keyCode, Button* button) {
  switch (keyCode) {
    case KEY_VOLUMEUP:
    case KEY_UP:
      *button = Button::Plus;
      return true;
    case KEY_VOLUMEDOWN:
    case KEY_DOWN:
      *button = Button::Minus;
      return true;
    case KEY_MENU:
      *button = Button::Menu;
      return true;
    case KEY_PLAYPAUSE:
    case KEY_PLAY:
    case KEY_ENTER:
    case KEY_KPENTER:
    case KEY_OK:
    case KEY_SELECT:
      *button = Button::Play;
      return true;
    case KEY_FORWARD:
    case KEY_NEXTSONG:
    case KEY_FASTFORWARD:
    case KEY_RIGHT:
      *button = Button::Right;
      return true;
    case KEY_BACK:
    case KEY_PREVIOUSSONG:
    case KEY_REWIND:
    case KEY_LEFT:
      *button = Button::Left;
      return true;
    default:
      return false;
  }
}

bool EvdevKeyBatcher::handlesKey(unsigned int keyCode) {
  Button button;
  return buttonForKey(keyCode, &button);
}

std::vector<quint32> EvdevKeyBatcher::elementCookies() {
  std::set<quint32> cookies;
  for (const HIDEventBatch& b : {plus(0), minus(0), click(22), click(23), click(24), click(25), rightHeld(0),
                                 leftHeld(0), menuHeld(), playHeld()})
    for (const HIDElementEvent& e : b) cookies.insert(e.cookie);
  return {cookies.begin(), cookies.end()};
}

void EvdevKeyBatcher::keyEvent(unsigned int keyCode, int value) {
  Button button;
  if (value == 2 || !buttonForKey(keyCode, &button)) return;
  const auto down = m_down.find(keyCode);
  if (value != 0) {
    if (down != m_down.end()) return;
    const quint64 serial = ++m_serial;
    m_down.emplace(keyCode, Down{button, serial, false});
    if (button == Button::Plus || button == Button::Minus) {
      send(button == Button::Plus ? plus(1) : minus(1));
      return;
    }
    m_clock.after(kHoldTime, [this, alive = std::weak_ptr<char>(m_alive), keyCode, serial] {
      if (!alive.expired()) holdTimeReached(keyCode, serial);
    });
    return;
  }
  if (down == m_down.end()) return;
  const Down state = down->second;
  m_down.erase(down);
  release(state, true);
}

void EvdevKeyBatcher::reset() {
  // A press whose release never comes would repeat for ever (a held Plus steps every 0.05 s).
  std::map<unsigned int, Down> down;
  down.swap(m_down);
  for (const auto& entry : down) release(entry.second, false);
}

void EvdevKeyBatcher::release(const Down& state, bool clicks) {
  switch (state.button) {
    case Button::Plus:
      send(plus(0));
      break;
    case Button::Minus:
      send(minus(0));
      break;
    case Button::Menu:
      if (clicks && !state.held) send(click(22));
      break;
    case Button::Play:
      if (clicks && !state.held) send(click(23));
      break;
    case Button::Right:
      if (state.held)
        send(rightHeld(0));
      else if (clicks)
        send(click(24));
      break;
    case Button::Left:
      if (state.held)
        send(leftHeld(0));
      else if (clicks)
        send(click(25));
      break;
  }
}

void EvdevKeyBatcher::holdTimeReached(unsigned int keyCode, quint64 serial) {
  const auto down = m_down.find(keyCode);
  if (down == m_down.end() || down->second.serial != serial) return;
  down->second.held = true;
  switch (down->second.button) {
    case Button::Menu:
      send(menuHeld());
      break;
    case Button::Play:
      send(playHeld());
      break;
    case Button::Right:
      send(rightHeld(1));
      break;
    case Button::Left:
      send(leftHeld(1));
      break;
    case Button::Plus:
    case Button::Minus:
      break;
  }
}

void EvdevKeyBatcher::send(const HIDEventBatch& events) {
  if (m_handler) m_handler(events);
}
