// Fuzz target for the subtitle service's XML-RPC answers: any bytes are an answer or a failed call, never a crash,
// and the value of an answer is read whole.
#include <QByteArray>
#include <QDateTime>

#include "playback/OXXmlRpcClient.h"
#include "tests/fuzz/FuzzEntry.h"

namespace {

// Reads every part of a decoded value, a budget of values at most.
void walk(const QVariant& value, int& budget) {
  if (--budget < 0) return;
  if (value.typeId() == QMetaType::QVariantList) {
    for (const QVariant& element : value.toList()) walk(element, budget);
  } else if (value.typeId() == QMetaType::QVariantMap) {
    const QVariantMap map = value.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it) walk(it.value(), budget);
  } else {
    (void)value.toString().size();
  }
}

}  // namespace

OX_FUZZ_ENTRY(xmlrpc_answer) {
  QVariant answer;
  QString error;
  const bool ok = OXXmlRpcClient::parseResponse(
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)), &answer, &error);
  if (!ok && error.isEmpty()) __builtin_trap();  // a failed call always says why
  int budget = 100000;
  walk(answer, budget);
  return 0;
}
