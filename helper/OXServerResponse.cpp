#include "helper/OXServerResponse.h"

#include <unistd.h>

OXServerResponse::~OXServerResponse() {
  if (fd >= 0) ::close(fd);
}

void OXServerResponse::setContent(std::string content, const std::string& type) {
  body = std::move(content);
  setHeader("Content-Type", type);
}

void OXServerResponse::setFile(int file, quint64 from, quint64 count) {
  if (fd >= 0) ::close(fd);
  fd = file;
  offset = from;
  length = count;
}
