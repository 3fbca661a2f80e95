#include "helper/OXFileResponse.h"

#include <QByteArrayView>
#include <QMimeDatabase>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "helper/OXServerRequest.h"
#include "helper/OXServerResponse.h"
#include "platform/foundation/FileName.h"
#include "platform/foundation/Log.h"

namespace {

// Players need a media type to pick a demuxer; anything else goes out as plain bytes.
std::string contentTypeOf(const QString& path) {
  static const QMimeDatabase database;
  const QString name = database.mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
  if (name.startsWith(QLatin1String("video/")) || name.startsWith(QLatin1String("audio/"))) return name.toStdString();
  return "application/octet-stream";
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Decimal digits only; a number too large for any file is kept as the largest.
std::optional<quint64> position(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  quint64 value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value > (~quint64(0) - 9) / 10 ? ~quint64(0) : value * 10 + quint64(c - '0');
  }
  return value;
}

}  // namespace

OXFileResponse::Range OXFileResponse::rangeOf(std::string_view header, quint64 size) {
  const size_t equals = header.find('=');
  if (equals == std::string_view::npos) return {};
  // Range units are compared without regard to case.
  if (QByteArrayView(trimmed(header.substr(0, equals))).compare("bytes", Qt::CaseInsensitive) != 0) return {};
  std::string_view spec;
  for (std::string_view set = header.substr(equals + 1); !set.empty();) {
    const size_t comma = set.find(',');
    const std::string_view item = trimmed(set.substr(0, comma));
    set = comma == std::string_view::npos ? std::string_view() : set.substr(comma + 1);
    if (item.empty()) continue;  // a list may hold empty elements
    if (!spec.empty()) return {};
    spec = item;
  }
  const size_t dash = spec.find('-');
  if (dash == std::string_view::npos) return {};
  const auto first = position(spec.substr(0, dash));
  const auto last = position(spec.substr(dash + 1));
  if (!first) {  // a suffix: the last `last` bytes
    if (!last || dash != 0) return {};
    if (*last == 0 || size == 0) return {Range::Unsatisfiable};
    return {Range::Part, size - std::min(*last, size), size - 1};
  }
  if (dash + 1 < spec.size() && !last) return {};
  if (last && *last < *first) return {};
  if (*first >= size) return {Range::Unsatisfiable};
  return {Range::Part, *first, last ? std::min(*last, size - 1) : size - 1};
}

void OXFileResponse::respond(const QString& path, const OXServerRequest& request, OXServerResponse& response) {
  const int fd = ::open(ox::encodeFileName(path).constData(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    OXLOG("library server: cannot open %s: %s", qPrintable(path), std::strerror(fd < 0 ? errno : EISDIR));
    if (fd >= 0) ::close(fd);
    response.status = 404;
    return;
  }
  const quint64 size = quint64(info.st_size);
  const std::string* header = request.header("Range");
  const Range range = header ? rangeOf(*header, size) : Range();
  response.setHeader("Accept-Ranges", "bytes");
  if (range.kind == Range::Unsatisfiable) {
    ::close(fd);
    response.status = 416;
    response.setHeader("Content-Range", "bytes */" + std::to_string(size));
    return;
  }
  quint64 first = 0, length = size;
  if (range.kind == Range::Part) {
    first = range.first;
    length = range.last - range.first + 1;
    response.status = 206;
    response.setHeader("Content-Range", "bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) +
                                            "/" + std::to_string(size));
  }
  ::posix_fadvise(fd, off_t(first), off_t(length), POSIX_FADV_SEQUENTIAL);
  response.setHeader("Content-Type", contentTypeOf(path));
  response.setFile(fd, first, length);
}
