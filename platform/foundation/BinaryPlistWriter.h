#pragma once
#include <plist/plist.h>

#include <QByteArray>

namespace ox {

// Writes a libplist tree as a binary property list ("bplist00"), as the platform's writer does: equal texts, numbers,
// data and UIDs stored once, references and offsets 1, 2, 4 or 8 bytes wide. libplist 2.2's own plist_to_bin walks
// an array's children from the start for every element, so a keyed archive's object table of n entries costs n²
// steps (20,000 records took half a minute); this costs n. Answers an empty array for a node kind it does not know.
QByteArray writeBinaryPlist(plist_t root);

}  // namespace ox
