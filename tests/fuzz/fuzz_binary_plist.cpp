// Fuzz target for plain binary property lists (the programs' run markers and their cached lists): any bytes read as
// a value or as none, and a value read is written again into a list that reads back.
#include <QByteArray>

#include "platform/foundation/PropertyList.h"
#include "tests/fuzz/FuzzEntry.h"

OX_FUZZ_ENTRY(binary_plist) {
  const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
  const QByteArray again = ox::propertyListData(ox::propertyListValue(bytes));
  if (!again.isEmpty() && !ox::propertyListValue(again).isValid()) __builtin_trap();
  return 0;
}
