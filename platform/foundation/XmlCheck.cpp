#include "platform/foundation/XmlCheck.h"

#include <string_view>

namespace ox {
namespace {

using View = std::string_view;
constexpr size_t kNone = View::npos;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isDigits(View v, size_t most) {
  if (v.empty() || v.size() > most) return false;
  for (const char c : v)
    if (c < '0' || c > '9') return false;
  return true;
}

// Encodings in which every byte below 0x80 is its ASCII character, so that the markup is what these bytes show.
bool isAsciiCompatible(View name) {
  const QByteArray lower = QByteArray(name.data(), qsizetype(name.size())).toLower();
  const View n(lower.constData(), size_t(lower.size()));
  if (n == "utf-8" || n == "us-ascii") return true;
  if (n.starts_with("iso-8859-")) return isDigits(n.substr(9), 2);
  if (n.starts_with("windows-125")) return isDigits(n.substr(11), 1);
  return false;
}

bool isEncoding(View name) {
  return name.size() == 8 && QByteArray(name.data(), 8).toLower() == "encoding";
}

class Checker {
 public:
  Checker(const QByteArray& bytes, int maxAttributes)
      : s_(bytes.constData(), size_t(bytes.size())), maxAttributes_(maxAttributes) {}

  QString run() {
    if (s_.find('\0') != kNone) return QStringLiteral("a byte 0, as UTF-16 or UTF-32 text holds");
    if (s_.starts_with("\xEF\xBB\xBF")) i_ = 3;
    // Only the declaration at the start names an encoding; elsewhere the reader refuses it.
    if (s_.substr(i_).starts_with("<?xml") && i_ + 5 < s_.size() && isSpace(s_[i_ + 5])) {
      i_ += 5;
      if (!tag(true)) return why_;
    }
    while ((i_ = s_.find('<', i_)) != kNone) {
      const View rest = s_.substr(i_);
      bool more = true;
      if (rest.starts_with("<!--")) {
        more = skipPast("-->", 4);
      } else if (rest.starts_with("<![CDATA[")) {
        more = skipPast("]]>", 9);
      } else if (rest.starts_with("<!")) {
        // Outside comments and CDATA only a document type declaration (or one of its own) starts so.
        return QStringLiteral("a document type declaration");
      } else if (rest.starts_with("<?")) {
        more = skipPast("?>", 2);  // an instruction ends at the first "?>", quoted or not
      } else {
        ++i_;
        if (!tag(false)) return why_;
      }
      if (!more) break;  // the rest is one open comment, section or instruction, which the reader refuses
    }
    return {};
  }

 private:
  // Moves past the first `end` found `from` bytes on; false when there is none.
  bool skipPast(View end, size_t from) {
    const size_t at = s_.find(end, i_ + from);
    if (at == kNone) return false;
    i_ = at + end.size();
    return true;
  }

  // From inside a tag through its '>', counting its attributes by their quoted values, which may hold '>' and the
  // other quote. A '<' ends the tag where it stands: the reader stops there.
  bool tag(bool declaration) {
    int attributes = 0;
    size_t nameStart = kNone;
    View name;
    while (i_ < s_.size()) {
      const char c = s_[i_];
      if (c == '>') {
        ++i_;
        return true;
      }
      if (c == '<') return true;
      if (c == '"' || c == '\'') {
        if (++attributes > maxAttributes_) {
          why_ = QStringLiteral("a tag with more than %1 attributes").arg(maxAttributes_);
          return false;
        }
        const size_t close = s_.find(c, i_ + 1);
        if (close == kNone) {
          i_ = s_.size();
          return true;
        }
        const View value = s_.substr(i_ + 1, close - i_ - 1);
        if (declaration && isEncoding(name) && !isAsciiCompatible(value)) {
          why_ = QStringLiteral("the encoding \"%1\"").arg(QString::fromLatin1(value.substr(0, 40)));
          return false;
        }
        i_ = close + 1;
        continue;
      }
      if (isSpace(c) || c == '=' || c == '/' || c == '?') {
        if (nameStart != kNone) name = s_.substr(nameStart, i_ - nameStart);
        nameStart = kNone;
      } else if (nameStart == kNone) {
        nameStart = i_;
      }
      ++i_;
    }
    return true;
  }

  View s_;
  size_t i_ = 0;
  int maxAttributes_;
  QString why_;
};

}  // namespace

QString checkXml(const QByteArray& bytes, int maxAttributes) { return Checker(bytes, maxAttributes).run(); }

}  // namespace ox
