#include "platform/foundation/FileName.h"

#include <QFile>
#include <QUrl>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ox {

namespace {

constexpr char16_t kEscapeBase = 0xEF00;  // + a byte of 0x80..0xFF

bool isEscape(char16_t c) { return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF; }

bool continuation(uchar b) { return (b & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at `p` (overlong forms, surrogates and code points above U+10FFFF
// are not), 0 when there is none; `code` takes its code point.
int sequenceAt(const uchar* p, const uchar* end, char32_t& code) {
  const uchar b = p[0];
  const qsizetype left = end - p;
  if (b < 0x80) {
    code = b;
    return 1;
  }
  int length = 0;
  uchar low = 0x80, high = 0xBF;  // bounds of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (left < length || p[1] < low || p[1] > high) return 0;
  code = b & (0xFF >> (length + 1));
  for (int i = 1; i < length; ++i) {
    if (!continuation(p[i])) return 0;
    code = (code << 6) | (p[i] & 0x3F);
  }
  return length;
}

bool statPath(const QString& path, struct stat& st) {
  return !path.isEmpty() && ::stat(encodeFileName(path).constData(), &st) == 0;
}

}  // namespace

QString decodeFileName(const QByteArray& name) {
  const auto* begin = reinterpret_cast<const uchar*>(name.constData());
  const uchar* end = begin + name.size();
  // Most names need no escape at all; they take Qt's own decoding.
  bool plain = true;
  for (const uchar* p = begin; p < end && plain;) {
    char32_t code = 0;
    const int n = sequenceAt(p, end, code);
    plain = n > 0 && !(code <= 0xFFFF && isEscape(char16_t(code)));
    p += n;
  }
  if (plain) return QFile::decodeName(name);
  QString out;
  out.reserve(name.size());
  for (const uchar* p = begin; p < end;) {
    char32_t code = 0;
    const int n = sequenceAt(p, end, code);
    // A character that reads as an escape is escaped byte by byte, so it too comes back as it was.
    if (n > 0 && !(code <= 0xFFFF && isEscape(char16_t(code)))) {
      out += QString::fromUcs4(&code, 1);
      p += n;
      continue;
    }
    const int bytes = n > 0 ? n : 1;
    for (int i = 0; i < bytes; ++i) out += QChar(char16_t(kEscapeBase + p[i]));
    p += bytes;
  }
  return out;
}

QByteArray encodeFileName(const QString& path) {
  qsizetype run = 0;
  QByteArray out;
  for (qsizetype i = 0; i < path.size(); ++i) {
    const char16_t c = path.at(i).unicode();
    if (!isEscape(c)) continue;
    out += QFile::encodeName(path.mid(run, i - run));
    out += char(c - kEscapeBase);
    run = i + 1;
  }
  if (run == 0) return QFile::encodeName(path);
  return out + QFile::encodeName(path.mid(run));
}

QString readableFileName(const QString& name) {
  // Where Latin-1 has control characters those disks held Windows-1252; its five unused bytes stay as Latin-1 has them.
  static constexpr char16_t kWindows1252[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
  };
  QString out = name;
  for (QChar& c : out) {
    if (!isEscape(c.unicode())) continue;
    const char16_t byte = c.unicode() - kEscapeBase;
    c = QChar(byte < 0xA0 ? kWindows1252[byte - 0x80] : byte);
  }
  return out;
}

QString pathOfFileURL(const QUrl& url) {
  if (!url.isLocalFile()) return {};
  if (!url.host().isEmpty()) return url.toLocalFile();  // a share's UNC form, as Qt gives it
  return decodeFileName(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QUrl fileURLOfPath(const QString& path) {
  if (std::none_of(path.begin(), path.end(), [](QChar c) { return isEscape(c.unicode()); }))
    return QUrl::fromLocalFile(path);
  const QByteArray escaped = encodeFileName(path).toPercentEncoding("/");
  return QUrl::fromEncoded((path.startsWith(QLatin1Char('/')) ? "file://" : "file:") + escaped, QUrl::StrictMode);
}

bool existsAtPath(const QString& path) {
  struct stat st {};
  return statPath(path, st);
}

bool isFileAtPath(const QString& path) {
  struct stat st {};
  return statPath(path, st) && S_ISREG(st.st_mode);
}

bool isFolderAtPath(const QString& path) {
  struct stat st {};
  return statPath(path, st) && S_ISDIR(st.st_mode);
}

bool openFileAtPath(QFile& file, const QString& path, QIODevice::OpenMode extra) {
  if (path.isEmpty()) return false;
  const int fd = ::open(encodeFileName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  if (file.open(fd, QIODevice::ReadOnly | extra, QFileDevice::AutoCloseHandle)) return true;
  ::close(fd);
  return false;
}

}  // namespace ox
