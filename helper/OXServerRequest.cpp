#include "helper/OXServerRequest.h"

#include <QByteArrayView>

const std::string* OXServerRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (QByteArrayView(key).compare(QByteArrayView(name), Qt::CaseInsensitive) == 0) return &value;
  return nullptr;
}
