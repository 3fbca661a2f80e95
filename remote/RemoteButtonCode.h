#pragma once
#include <QtGlobal>

// The Apple Remote's button events: one bit each, carried as a signed 32-bit int. A button's hold code is its code
// shifted left by 6 bits; hold simulation and the devices' supported-event tests rely on that rule.
enum RemoteButtonCode : qint32 {
  RemoteButtonPlus = 1 << 1,
  RemoteButtonMinus = 1 << 2,
  RemoteButtonMenu = 1 << 3,
  RemoteButtonPlay = 1 << 4,
  RemoteButtonRight = 1 << 5,
  RemoteButtonLeft = 1 << 6,
  RemoteButtonPlusHold = RemoteButtonPlus << 6,
  RemoteButtonMinusHold = RemoteButtonMinus << 6,
  RemoteButtonMenuHold = RemoteButtonMenu << 6,
  RemoteButtonPlayHold = RemoteButtonPlay << 6,
  RemoteButtonRightHold = RemoteButtonRight << 6,
  RemoteButtonLeftHold = RemoteButtonLeft << 6,
  // The receiver was paired to another remote (its cookie string "19_").
  RemoteControlSwitched = 1 << 13,
};

constexpr qint32 RemoteButtonHoldCode(qint32 code) { return code << 6; }
