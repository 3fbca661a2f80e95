#pragma once
#include <QByteArray>
#include <QString>

namespace ox {

// Checks that a binary property list is safe to give to libplist's reader, which trusts its input more than it
// should: it recurses once per nesting level without a limit (a long chain of nested arrays overflows the stack), and
// it copies a shared object once for every reference to it (a few hundred bytes of arrays that each reference the
// next one twice expand to billions of nodes).
//
// Sound means: header, trailer and offset table in range; every object reachable from the top well formed and inside
// the object area; dictionary keys are text without NUL (libplist aborts on those); no reference cycles; nesting at
// most 32 deep; and the tree libplist would build stays within a budget proportional to the input. Answers an empty
// text when sound, else the reason.
QString checkBinaryPlist(const QByteArray& bytes);

}  // namespace ox
