#pragma once
#include <QString>
#include <QtGlobal>
#include <optional>
#include <utility>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

// A file from disk as an HTTP answer, read in chunks as the client takes it, so a movie never sits in memory.
// One byte range is honoured; several are answered with the whole file, as HTTP allows.
class OXFileResponse {
 public:
  static constexpr size_t kChunkLength = 1 << 20;

  // The whole file (200) or the range asked for (206, with "Content-Range"); a range that starts past the end, or
  // an empty suffix, is a 416 with "Content-Range: bytes */size". A missing or unreadable file is a 404. The file
  // is opened here, so a file replaced later is still answered whole or not at all.
  static void respond(const QString& path, const httplib::Request& request, httplib::Response& response);

  // The first and last byte of one requested range (a missing bound is -1, as the server library parses them)
  // within `size` bytes, or nothing when no byte of it exists.
  static std::optional<std::pair<quint64, quint64>> satisfiableRange(qint64 first, qint64 last, quint64 size);

  // Makes the server library answer the request as if it had no "Range" header. Its own range handling does not
  // bound ranges by the body (a range past the end gives a wrapped length and a broken answer), so every answer
  // decides for itself.
  static void ignoreRanges(const httplib::Request& request);
};
