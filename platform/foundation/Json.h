#pragma once
#include <QByteArray>
#include <QVariant>

namespace ox {

// A JSON text as nested QVariantMap / QVariantList / scalars; invalid when the text does not decode.
QVariant jsonValue(const QByteArray& text);
// The decoded value when it is a JSON object; invalid otherwise.
QVariant jsonObject(const QByteArray& text);

}  // namespace ox
