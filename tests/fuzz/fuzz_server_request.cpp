// Fuzz target for the library server's reading of a request: the bytes are a request head (the request line, then
// header lines), the path decoded by the server library's own function; then the server's checks of the head and,
// for a request it takes, its Range header against files of several sizes. A range answered must lie in the file.
#include <microhttpd.h>

#include <string>
#include <string_view>

#include "helper/OXFileResponse.h"
#include "helper/OXServer.h"
#include "helper/OXServerConnections.h"
#include "tests/fuzz/FuzzEntry.h"

namespace {

std::string_view nextLine(std::string_view& text) {
  const size_t end = text.find('\n');
  std::string_view line = text.substr(0, end);
  text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::string_view word(std::string_view& line) {
  const size_t end = line.find(' ');
  const std::string_view w = line.substr(0, end);
  line = end == std::string_view::npos ? std::string_view() : line.substr(end + 1);
  return w;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

OX_FUZZ_ENTRY(server_request) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string_view line = nextLine(text);
  OXServerRequest request;
  request.method = word(line);
  std::string target(word(line));
  const std::string_view version = line;
  target = target.substr(0, target.find('?'));
  target.resize(MHD_http_unescape(target.data()));
  request.path = target;
  for (line = nextLine(text); !line.empty(); line = nextLine(text)) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    request.headers.emplace_back(trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
  }
  if (OXServerConnections::refusalOf(request, version, OXServer::kMaxBodyLength) != 0) return 0;
  const std::string* range = request.header("Range");
  if (!range) return 0;
  for (const quint64 fileSize : {quint64(0), quint64(1), quint64(4096), quint64(1) << 40, ~quint64(0)}) {
    const OXFileResponse::Range r = OXFileResponse::rangeOf(*range, fileSize);
    if (r.kind == OXFileResponse::Range::Part && (r.first > r.last || r.last >= fileSize)) __builtin_trap();
  }
  return 0;
}
