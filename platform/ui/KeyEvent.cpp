#include "platform/ui/KeyEvent.h"

#include <QKeyEvent>

namespace ox {

KeyEvent::KeyEvent(const QString& characters, const QString& charactersIgnoringModifiers,
                   Qt::KeyboardModifiers modifiers, bool repeat, int keyCode)
    : characters_(characters), ignoringModifiers_(charactersIgnoringModifiers), modifiers_(modifiers),
      repeat_(repeat), keyCode_(keyCode) {}

QString KeyEvent::charactersForKey(int key, const QString& text) {
  auto one = [](char16_t c) { return QString(QChar(c)); };
  switch (key) {
    case Qt::Key_Up: return one(UpArrowFunctionKey);
    case Qt::Key_Down: return one(DownArrowFunctionKey);
    case Qt::Key_Left: return one(LeftArrowFunctionKey);
    case Qt::Key_Right: return one(RightArrowFunctionKey);
    case Qt::Key_Return:
    case Qt::Key_Enter: return one(13);
    case Qt::Key_Space: return one(32);
    case Qt::Key_Escape: return one(27);
    case Qt::Key_Backspace: return one(127);
    case Qt::Key_Delete: return one(DeleteFunctionKey);
    case Qt::Key_Tab: return one(9);
    case Qt::Key_Backtab: return one(25);
    case Qt::Key_Insert: return one(InsertFunctionKey);
    case Qt::Key_Home: return one(HomeFunctionKey);
    case Qt::Key_End: return one(EndFunctionKey);
    case Qt::Key_PageUp: return one(PageUpFunctionKey);
    case Qt::Key_PageDown: return one(PageDownFunctionKey);
    default: break;
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F35) return one(char16_t(F1FunctionKey + (key - Qt::Key_F1)));
  // Printable keys: what was typed. Control characters Qt reports for modified keys are dropped.
  QString out;
  for (QChar c : text)
    if (c.unicode() >= 32 && c.unicode() != 127) out.append(c);
  return out;
}

KeyEvent KeyEvent::fromQt(const QKeyEvent& event) {
  const QString chars = charactersForKey(event.key(), event.text());
  QString ignoring = chars;
  if (event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z) {
    // Like the platform: modifiers other than Shift do not change these characters.
    const QChar base(char16_t('a' + (event.key() - Qt::Key_A)));
    ignoring = (event.modifiers() & Qt::ShiftModifier) ? QString(base.toUpper()) : QString(base);
  }
  return KeyEvent(chars, ignoring, event.modifiers(), event.isAutoRepeat(), event.key());
}

KeyEvent KeyEvent::withCharacters(const QString& characters) {
  return KeyEvent(characters, characters, Qt::NoModifier, false, 0);
}

}  // namespace ox
