#pragma once
#include <QtGlobal>
#include <string>
#include <utility>
#include <vector>

// One answer of the library server: bytes from memory, or a stretch of an open file that the server sends from
// the file itself, so a movie never passes through memory.
struct OXServerResponse {
  OXServerResponse() = default;
  OXServerResponse(const OXServerResponse&) = delete;
  OXServerResponse& operator=(const OXServerResponse&) = delete;
  ~OXServerResponse();

  void setContent(std::string content, const std::string& type);
  void setHeader(const std::string& name, const std::string& value) { headers.emplace_back(name, value); }
  // Answers `length` bytes of `fd` from `offset`; the answer owns `fd` from here on.
  void setFile(int fd, quint64 offset, quint64 length);

  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  int fd = -1;
  quint64 offset = 0, length = 0;
};
