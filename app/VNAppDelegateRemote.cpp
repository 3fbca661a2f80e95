// The Apple Remote of Ombrix: the remote chain, and each button event turned into a command for the key window.
#include "app/VNAppDelegate.h"

#include <cmath>

#include "platform/foundation/Log.h"
#include "platform/ui/WindowServer.h"
#include "remote/AppleRemote.h"
#include "remote/MultiClickRemoteBehavior.h"
#include "remote/RemoteButtonCode.h"

void VNAppDelegate::setupRemoteControl() {
  if (remoteSetUp_) return;
  remoteSetUp_ = true;
  newRemoteControl_ = AppleRemote::create({}, std::move(remoteBackend_));
  if (!newRemoteControl_) return;
  // Click counting and hold simulation stay off: every event comes through as the remote sends it.
  remoteBehavior_ = std::make_shared<MultiClickRemoteBehavior>(clock());
  // Not owned: this delegate owns the remote, which owns the behaviour.
  remoteBehavior_->setDelegate(this);
  newRemoteControl_->setDelegate(remoteBehavior_);
  newRemoteControl_->startListening();
}

void VNAppDelegate::tearDownRemoteControl() {
  stopRemoteControlRepeatTimer();
  pendingPlusHold_ = pendingMinusHold_ = 0;
  if (remoteBehavior_) remoteBehavior_->setDelegate(nullptr);
  // Closing the receiver announces the end of the exclusive session, so the helper takes it back.
  newRemoteControl_.reset();
  remoteBehavior_.reset();
}

RemoteControl* VNAppDelegate::remoteControl() const { return newRemoteControl_.get(); }

void VNAppDelegate::applicationWillBecomeActive() {
  if (newRemoteControl_) newRemoteControl_->startListening();
}

std::shared_ptr<OXRemoteProtocol> VNAppDelegate::keyWindowResponder() {
  const auto key = ox::WindowServer::shared().keyWindow();
  if (!key) return nullptr;
  return std::dynamic_pointer_cast<OXRemoteProtocol>(key->firstResponder());
}

void VNAppDelegate::sendToKeyWindow(OXRemoteCommand command) {
  // A responder that is no full-screen view (a bare content view) takes no command at all.
  if (const std::shared_ptr<OXRemoteProtocol> target = keyWindowResponder()) OXSendRemoteCommand(*target, command);
}

void VNAppDelegate::performHoldLater(void (VNAppDelegate::*hold)(), quint64* pending) {
  const quint64 serial = ++serial_;
  *pending = serial;
  std::weak_ptr<VNAppDelegate> weak = weak_from_this();
  clock().after(kHoldDelay, [weak, hold, pending, serial] {
    const auto self = weak.lock();
    if (!self || *pending != serial) return;
    *pending = 0;
    ((*self).*hold)();
  });
}

void VNAppDelegate::plusHold() {
  remoteControlRepeatButtonID_ = RemoteButtonPlusHold;
  startRemoteControlRepeatTimer(kRepeatInterval);
}

void VNAppDelegate::minusHold() {
  remoteControlRepeatButtonID_ = RemoteButtonMinusHold;
  startRemoteControlRepeatTimer(kRepeatInterval);
}

void VNAppDelegate::startRemoteControlRepeatTimer(double seconds) {
  const quint64 generation = ++serial_;
  repeatGeneration_ = generation;
  repeatTick(generation, clock().now() + seconds, seconds);
}

void VNAppDelegate::repeatTick(quint64 generation, double due, double interval) {
  std::weak_ptr<VNAppDelegate> weak = weak_from_this();
  // Each tick is due a whole interval after the one before, however late the main loop ran the last; ticks missed
  // while the main loop stalled are skipped, not fired in a burst (each Up is a long jump during playback).
  clock().after(std::max(0.0, due - clock().now()), [weak, generation, due, interval] {
    const auto self = weak.lock();
    if (!self || self->repeatGeneration_ != generation) return;
    self->remoteControlRepeat();
    if (self->repeatGeneration_ != generation) return;
    const double now = self->clock().now();
    double next = due + interval;
    if (next <= now) next += (std::floor((now - next) / interval) + 1) * interval;
    self->repeatTick(generation, next, interval);
  });
}

void VNAppDelegate::stopRemoteControlRepeatTimer() { repeatGeneration_ = 0; }

void VNAppDelegate::remoteControlRepeat() {
  switch (remoteControlRepeatButtonID_) {
    case RemoteButtonPlusHold: sendToKeyWindow(OXRemoteCommand::MoveUp); break;
    case RemoteButtonMinusHold: sendToKeyWindow(OXRemoteCommand::MoveDown); break;
    case RemoteButtonRightHold: sendToKeyWindow(OXRemoteCommand::MoveRight); break;
    case RemoteButtonLeftHold: sendToKeyWindow(OXRemoteCommand::MoveLeft); break;
    default: break;
  }
}

void VNAppDelegate::remoteButton(qint32 event, bool pressedDown, quint32) {
  if (!pressedDown) {
    switch (event) {
      case RemoteButtonPlus:
        pendingPlusHold_ = 0;
        stopRemoteControlRepeatTimer();
        break;
      case RemoteButtonMinus:
        pendingMinusHold_ = 0;
        stopRemoteControlRepeatTimer();
        break;
      case RemoteButtonRightHold:
      case RemoteButtonLeftHold:
        stopRemoteControlRepeatTimer();
        sendToKeyWindow(OXRemoteCommand::ReleaseButton);
        break;
      default: stopRemoteControlRepeatTimer(); break;
    }
    return;
  }
  switch (event) {
    case RemoteButtonPlus:
      sendToKeyWindow(OXRemoteCommand::MoveUp);
      // A code the repeat ignores, until the hold starts repeating.
      remoteControlRepeatButtonID_ = RemoteButtonPlus;
      performHoldLater(&VNAppDelegate::plusHold, &pendingPlusHold_);
      break;
    case RemoteButtonMinus:
      sendToKeyWindow(OXRemoteCommand::MoveDown);
      remoteControlRepeatButtonID_ = RemoteButtonPlus;
      performHoldLater(&VNAppDelegate::minusHold, &pendingMinusHold_);
      break;
    case RemoteButtonMenu: sendToKeyWindow(OXRemoteCommand::KeyMenu); break;
    case RemoteButtonPlay: sendToKeyWindow(OXRemoteCommand::KeyPlay); break;
    case RemoteButtonRight: sendToKeyWindow(OXRemoteCommand::MoveRight); break;
    case RemoteButtonLeft: sendToKeyWindow(OXRemoteCommand::MoveLeft); break;
    case RemoteButtonPlusHold: ox::log(QStringLiteral("Plus_Hold")); break;
    case RemoteButtonMinusHold: ox::log(QStringLiteral("Minus_Hold")); break;
    case RemoteButtonMenuHold: sendToKeyWindow(OXRemoteCommand::HoldMenu); break;
    case RemoteButtonPlayHold: sendToKeyWindow(OXRemoteCommand::HoldPlay); break;
    case RemoteButtonRightHold: sendToKeyWindow(OXRemoteCommand::HoldRight); break;
    case RemoteButtonLeftHold: sendToKeyWindow(OXRemoteCommand::HoldLeft); break;
    default: break;
  }
}
