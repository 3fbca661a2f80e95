#pragma once
#include <QString>
#include <Qt>

class QKeyEvent;

namespace ox {

// Character codes of the keys that have no printable character, as the views' key tables use them.
enum FunctionKey : char16_t {
  UpArrowFunctionKey = 0xF700,
  DownArrowFunctionKey = 0xF701,
  LeftArrowFunctionKey = 0xF702,
  RightArrowFunctionKey = 0xF703,
  F1FunctionKey = 0xF704,  // F1..F35 follow in order
  InsertFunctionKey = 0xF727,
  DeleteFunctionKey = 0xF728,  // forward delete
  HomeFunctionKey = 0xF729,
  EndFunctionKey = 0xF72B,
  PageUpFunctionKey = 0xF72C,
  PageDownFunctionKey = 0xF72D,
};

// One key press as the views see it: the characters it produces, with the arrows as U+F700..U+F703, Return 13,
// Space 32, Escape 27 and the backspace key as Delete 127.
class KeyEvent {
 public:
  KeyEvent() = default;
  KeyEvent(const QString& characters, const QString& charactersIgnoringModifiers, Qt::KeyboardModifiers modifiers,
           bool repeat, int keyCode);
  static KeyEvent fromQt(const QKeyEvent& event);
  // Translates a Qt key (with the text it typed, for printable keys) to the characters above.
  static QString charactersForKey(int qtKey, const QString& text);
  // A press of the given characters (tests, synthetic events).
  static KeyEvent withCharacters(const QString& characters);

  QString characters() const { return characters_; }
  QString charactersIgnoringModifiers() const { return ignoringModifiers_; }
  Qt::KeyboardModifiers modifierFlags() const { return modifiers_; }
  bool isARepeat() const { return repeat_; }
  int keyCode() const { return keyCode_; }
  // The first character's code, 0 for an event without characters.
  char16_t firstCharacter() const { return characters_.isEmpty() ? 0 : characters_.at(0).unicode(); }

 private:
  QString characters_;
  QString ignoringModifiers_;
  Qt::KeyboardModifiers modifiers_ = Qt::NoModifier;
  bool repeat_ = false;
  int keyCode_ = 0;
};

}  // namespace ox
