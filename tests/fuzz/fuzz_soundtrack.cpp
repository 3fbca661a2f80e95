// Fuzz target for the check of a downloaded theme-music preview: the bytes are the whole file as the bucket sent it.
#include <QByteArray>

#include "scanner/SoundtrackCheck.h"
#include "tests/fuzz/FuzzEntry.h"

OX_FUZZ_ENTRY(soundtrack) {
  (void)SoundtrackCheck::readsAsSoundtrack(
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
  return 0;
}
