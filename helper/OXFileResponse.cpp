#include "helper/OXFileResponse.h"

#include <QMimeDatabase>
#include <httplib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/foundation/FileName.h"
#include "platform/foundation/Log.h"

namespace {

// One open file and its read buffer, owned by the answer until the last chunk went out or the client left.
struct FileSource {
  int fd = -1;
  quint64 base = 0;
  std::vector<char> buffer;
  ~FileSource() {
    if (fd >= 0) ::close(fd);
  }
};

// Players need a media type to pick a demuxer; anything else goes out as plain bytes, never as text the server
// library might compress.
std::string contentTypeOf(const QString& path) {
  static const QMimeDatabase database;
  const QString name = database.mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
  if (name.startsWith(QLatin1String("video/")) || name.startsWith(QLatin1String("audio/"))) return name.toStdString();
  return "application/octet-stream";
}

}  // namespace

std::optional<std::pair<quint64, quint64>> OXFileResponse::satisfiableRange(qint64 first, qint64 last, quint64 size) {
  if (first < 0) {  // a suffix: the last `last` bytes
    if (last <= 0 || size == 0) return std::nullopt;
    const quint64 count = std::min<quint64>(quint64(last), size);
    return std::make_pair(size - count, size - 1);
  }
  if (quint64(first) >= size) return std::nullopt;
  if (last >= 0 && last < first) return std::nullopt;
  const quint64 end = (last < 0 || quint64(last) >= size) ? size - 1 : quint64(last);
  return std::make_pair(quint64(first), end);
}

void OXFileResponse::ignoreRanges(const httplib::Request& request) {
  // The request object is the server's own, non-const; it hands it out const only by habit.
  const_cast<httplib::Request&>(request).ranges.clear();
}

void OXFileResponse::respond(const QString& path, const httplib::Request& request, httplib::Response& response) {
  const auto ranges = request.ranges;
  ignoreRanges(request);

  auto source = std::make_shared<FileSource>();
  source->fd = ::open(ox::encodeFileName(path).constData(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (source->fd < 0 || ::fstat(source->fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    OXLOG("library server: cannot open %s: %s", qPrintable(path), std::strerror(errno));
    response.status = 404;
    return;
  }
  const quint64 size = quint64(info.st_size);
  quint64 first = 0, length = size;
  response.set_header("Accept-Ranges", "bytes");
  if (ranges.size() == 1) {
    const auto range = satisfiableRange(ranges[0].first, ranges[0].second, size);
    if (!range) {
      response.status = 416;
      response.set_header("Content-Range", "bytes */" + std::to_string(size));
      return;
    }
    first = range->first;
    length = range->second - range->first + 1;
    response.status = 206;
    response.set_header("Content-Range", "bytes " + std::to_string(range->first) + "-" +
                                             std::to_string(range->second) + "/" + std::to_string(size));
  } else {
    response.status = 200;
  }
  source->base = first;
  ::posix_fadvise(source->fd, off_t(first), off_t(length), POSIX_FADV_SEQUENTIAL);
  if (length == 0) {  // an empty file: nothing for a provider to send
    response.set_content("", contentTypeOf(path));
    return;
  }
  response.set_content_provider(
      size_t(length), contentTypeOf(path), [source, path](size_t offset, size_t wanted, httplib::DataSink& sink) {
        if (source->buffer.empty()) source->buffer.resize(kChunkLength);
        const size_t count = std::min(wanted, source->buffer.size());
        ssize_t got;
        do got = ::pread(source->fd, source->buffer.data(), count, off_t(source->base + offset));
        while (got < 0 && errno == EINTR);
        if (got <= 0) {
          // The file shrank or failed under the answer: cut the connection rather than send short or wrong bytes.
          OXLOG("library server: reading %s stopped at byte %llu", qPrintable(path),
                static_cast<unsigned long long>(source->base + offset));
          return false;
        }
        return sink.write(source->buffer.data(), size_t(got));
      });
}
