#include "helper/OXFileResponse.h"

#include <QByteArrayView>
#include <QMimeDatabase>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

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

// Longest chain of links one path may pass, as the kernel allows in one lookup.
constexpr int kMaxLinks = 40;

// Walks a path a name at a time, each opened without following it, so that what is checked is what is then
// opened, with no window between. A link, anywhere in the path or in a chain, is followed only where its owner
// owns what it leads to: a link someone else planted in a shared folder reaches nothing of the owner's.
struct OwnedWalk {
  int links = 0;
  std::string refusedLink;  // the name of the link refused, when one was

  // An O_PATH descriptor of what `path` names, from the folder `at` (an absolute path from "/"); -1 with errno set.
  // `within`: more names follow, so it must be a folder.
  int resolve(int at, const std::string& path, bool within) {
    int folder = ::openat(path.starts_with('/') ? AT_FDCWD : at, path.starts_with('/') ? "/" : ".",
                          O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (size_t begin = 0; folder >= 0 && begin < path.size();) {
      const size_t slash = std::min(path.find('/', begin), path.size());
      const std::string name = path.substr(begin, slash - begin);
      begin = slash + 1;
      if (name.empty() || name == ".") continue;
      const bool last = !within && path.find_first_not_of('/', begin) == std::string::npos;
      // A folder on the way is opened as one, which mounts an automounted share as a whole-path lookup would; a
      // link is then seen on the second try.
      constexpr int kFlags = O_PATH | O_NOFOLLOW | O_CLOEXEC;
      int next = last ? -1 : ::openat(folder, name.c_str(), kFlags | O_DIRECTORY);
      if (next < 0 && (last || errno == ENOTDIR)) next = ::openat(folder, name.c_str(), kFlags);
      struct stat info {};
      if (next >= 0 && ::fstat(next, &info) == 0 && S_ISLNK(info.st_mode))
        next = follow(folder, next, info, name, !last);
      const int error = errno;
      ::close(folder);
      folder = next;
      errno = error;
    }
    return folder;
  }

  // What the link open as `link` in `folder` leads to, when the link's owner owns that; closes `link`.
  int follow(int folder, int link, const struct stat& info, const std::string& name, bool within) {
    std::string text(PATH_MAX, '\0');
    // Read from the very link whose owner is known: a link swapped in meanwhile is never the one followed.
    const ssize_t length = ::readlinkat(link, "", text.data(), text.size());
    const int error = errno;
    ::close(link);
    if (++links > kMaxLinks) return errno = ELOOP, -1;
    if (length <= 0) return errno = length < 0 ? error : ENOENT, -1;
    if (size_t(length) >= text.size()) return errno = ENAMETOOLONG, -1;
    text.resize(size_t(length));
    const int target = resolve(folder, text, within);
    struct stat led {};
    if (target < 0 || (::fstat(target, &led) == 0 && led.st_uid == info.st_uid)) return target;
    ::close(target);
    if (refusedLink.empty()) refusedLink = name;
    return errno = EACCES, -1;
  }
};

// `path` opened for reading when it names a regular file reached through owned links only; else -1, and `why`
// tells what stood in the way.
int openOwnedFile(const QString& path, std::string& why) {
  OwnedWalk walk;
  const int found = walk.resolve(AT_FDCWD, ox::encodeFileName(path).toStdString(), false);
  struct stat info {};
  int fd = -1;
  if (found >= 0 && ::fstat(found, &info) == 0) {
    // Reopened through the descriptor itself, never by name: the file checked is the file read. Only a regular
    // file: a pipe or a device would hold the server's thread or answer without end.
    if (S_ISREG(info.st_mode))
      fd = ::open(("/proc/self/fd/" + std::to_string(found)).c_str(), O_RDONLY | O_CLOEXEC);
    else
      why = "not a regular file";
  }
  if (fd < 0 && why.empty())
    why = walk.refusedLink.empty() ? std::strerror(errno)
                                   : "the link \"" + walk.refusedLink + "\" leads to what its owner does not own";
  if (found >= 0) ::close(found);
  return fd;
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
  std::string why;
  const int fd = openOwnedFile(path, why);
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0) {
    OXLOG("library server: not serving %s: %s", qPrintable(path), why.empty() ? std::strerror(errno) : why.c_str());
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
