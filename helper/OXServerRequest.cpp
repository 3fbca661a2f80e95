#include "helper/OXServerRequest.h"

#include <QByteArrayView>

const std::string* OXServerRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (isNamed(key, name)) return &value;
  return nullptr;
}

bool OXServerRequest::isNamed(std::string_view key, std::string_view name) {
  return QByteArrayView(key).compare(QByteArrayView(name), Qt::CaseInsensitive) == 0;
}
