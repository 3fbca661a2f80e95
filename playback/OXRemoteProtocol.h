#pragma once
#include "platform/ui/KeyEvent.h"

// The command set of every full-screen view of Ombrix. The remote's dispatcher sends these to the first responder of
// the key window, and each view's key handler maps the keyboard onto them, so the keyboard and the remote meet here.
// The sender is always empty; the optional commands do nothing unless a view has something to do for them, so a
// dispatcher may send all eleven to any view without asking first.
class OXRemoteProtocol {
 public:
  virtual ~OXRemoteProtocol() = default;

  virtual void moveLeft() = 0;
  virtual void moveRight() = 0;
  virtual void moveUp() = 0;
  virtual void moveDown() = 0;
  virtual void keyPlay() = 0;
  virtual void keyMenu() = 0;

  virtual void holdLeft() {}
  virtual void holdRight() {}
  // A held Left or Right was let go.
  virtual void releaseButton() {}
  virtual void holdMenu() {}
  virtual void holdPlay() {}
};

// One command of the set. The keyboard reaches the first nine; the remote's held Left and Right and their release
// reach the last three.
enum class OXRemoteCommand {
  None,
  MoveUp,
  MoveDown,
  MoveLeft,
  MoveRight,
  KeyPlay,
  KeyMenu,
  HoldMenu,
  HoldPlay,
  HoldLeft,
  HoldRight,
  ReleaseButton,
};

// The keyboard convention every view starts from: the first character of the event decides.

// Up, Down, Left and Right arrows; Return and Space play; Escape and Delete go back; "m" and "p" stand for holding
// Menu and Play. Anything else (and an event without characters) is None.
OXRemoteCommand OXRemoteCommandForKey(const ox::KeyEvent& event);

// Sends the command to the receiver; None sends nothing. Answers whether a command was sent.
bool OXSendRemoteCommand(OXRemoteProtocol& receiver, OXRemoteCommand command);
