#include "playback/OXRemoteProtocol.h"

OXRemoteCommand OXRemoteCommandForKey(const ox::KeyEvent& event) {
  switch (event.firstCharacter()) {
    case ox::UpArrowFunctionKey: return OXRemoteCommand::MoveUp;
    case ox::DownArrowFunctionKey: return OXRemoteCommand::MoveDown;
    case ox::LeftArrowFunctionKey: return OXRemoteCommand::MoveLeft;
    case ox::RightArrowFunctionKey: return OXRemoteCommand::MoveRight;
    case 13:
    case 32: return OXRemoteCommand::KeyPlay;
    case 27:
    case 127: return OXRemoteCommand::KeyMenu;
    case u'm': return OXRemoteCommand::HoldMenu;
    case u'p': return OXRemoteCommand::HoldPlay;
    default: return OXRemoteCommand::None;
  }
}

bool OXSendRemoteCommand(OXRemoteProtocol& receiver, OXRemoteCommand command) {
  switch (command) {
    case OXRemoteCommand::MoveUp: receiver.moveUp(); return true;
    case OXRemoteCommand::MoveDown: receiver.moveDown(); return true;
    case OXRemoteCommand::MoveLeft: receiver.moveLeft(); return true;
    case OXRemoteCommand::MoveRight: receiver.moveRight(); return true;
    case OXRemoteCommand::KeyPlay: receiver.keyPlay(); return true;
    case OXRemoteCommand::KeyMenu: receiver.keyMenu(); return true;
    case OXRemoteCommand::HoldMenu: receiver.holdMenu(); return true;
    case OXRemoteCommand::HoldPlay: receiver.holdPlay(); return true;
    case OXRemoteCommand::HoldLeft: receiver.holdLeft(); return true;
    case OXRemoteCommand::HoldRight: receiver.holdRight(); return true;
    case OXRemoteCommand::ReleaseButton: receiver.releaseButton(); return true;
    case OXRemoteCommand::None: return false;
  }
  return false;
}
