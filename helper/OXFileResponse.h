#pragma once
#include <QString>
#include <QtGlobal>
#include <string_view>

struct OXServerRequest;
struct OXServerResponse;

// A file from disk as an HTTP answer, sent from the file as the client takes it, so a movie never sits in memory.
// One byte range is honoured; several are answered with the whole file, as HTTP allows.
class OXFileResponse {
 public:
  // What a "Range" header asks of `size` bytes. A header of another unit or that does not parse asks for nothing,
  // and is ignored as HTTP says: the whole file goes out.
  struct Range {
    enum Kind { Whole, Part, Unsatisfiable } kind = Whole;
    quint64 first = 0, last = 0;
  };
  static Range rangeOf(std::string_view header, quint64 size);

  // The whole file (200) or the range asked for (206, with "Content-Range"); a range that starts past the end, or
  // an empty suffix, is a 416 with "Content-Range: bytes */size". A missing or unreadable file is a 404, and so is
  // anything but a regular file, or a path through a link whose owner does not own what it leads to (a link someone
  // else planted in a shared folder). The file is opened here, so a file replaced later is still answered whole or
  // not at all.
  static void respond(const QString& path, const OXServerRequest& request, OXServerResponse& response);
};
