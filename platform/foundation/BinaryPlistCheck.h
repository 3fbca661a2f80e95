#pragma once
#include <QByteArray>
#include <QString>

namespace ox {

// Checks that a binary property list is safe to read. Our readers trust what they read: the object reader reads in
// place without checking bounds again, and the plain-list reader recurses once per nesting level and copies a shared
// object once for every reference to it (a few hundred bytes of arrays that each reference the next one twice would
// expand to billions of values).
//
// Sound means: header, trailer and offset table in range; every object reachable from the top well formed and inside
// the object area; dictionary keys are text without NUL; no reference cycles; nesting at most 32 deep; and the tree
// a full expansion would build stays within a budget proportional to the input. Answers an empty text when sound,
// else the reason.
//
// `altered`, when given, is set when a sound list holds a text that cannot be read as it is stored (ASCII text with
// bytes that are no UTF-8 either, UTF-16 with a lone surrogate): a reader takes it changed, and a writer of it writes
// the change.
QString checkBinaryPlist(const QByteArray& bytes, bool* altered = nullptr);

}  // namespace ox
