#include "playback/OXPeerflixOutput.h"

namespace {

constexpr char16_t kEscape = 27;
constexpr char16_t kBell = 7;
// A line that never ends (no redraw, no newline) keeps only its newest part.
constexpr qsizetype kLongestLine = 65536;
constexpr qsizetype kKeptOfLongLine = 4096;
// Longer "sequences" are garbage, not terminal control.
constexpr qsizetype kLongestSequence = 256;

const QString kPeers = QStringLiteral("fetching torrent metadata from ");
const QString kPeersEnd = QStringLiteral(" peers");
const QString kStreaming = QStringLiteral("info streaming");
const QString kStreamingDash = QStringLiteral(" - ");
const QString kStreamingFrom = QStringLiteral(" from");
const QString kAddress = QStringLiteral("open vlc and enter ");
const QString kAddressEnd = QStringLiteral("/ ");

QString figure(const QString& text) {
  const QString t = text.trimmed();
  return t.isEmpty() ? QString() : t;
}

}  // namespace

QString OXPeerflixOutput::peersIn(const QString& line) {
  const qsizetype at = line.indexOf(kPeers);
  if (at < 0) return {};
  const QString rest = line.mid(at + kPeers.size());
  const qsizetype end = rest.indexOf(kPeersEnd);
  return end < 0 ? QString() : figure(rest.left(end));
}

QString OXPeerflixOutput::bufferingIn(const QString& line) {
  const qsizetype at = line.indexOf(kStreaming);
  if (at < 0) return {};
  // The file name before the figure may hold " - " or " from" itself; the speed is the last dash before the last
  // "from".
  const QString rest = line.mid(at + kStreaming.size());
  const qsizetype from = rest.lastIndexOf(kStreamingFrom);
  if (from < kStreamingDash.size()) return {};
  const qsizetype dash = rest.lastIndexOf(kStreamingDash, from - kStreamingDash.size());
  if (dash < 0) return {};
  const qsizetype start = dash + kStreamingDash.size();
  return figure(rest.mid(start, from - start));
}

QString OXPeerflixOutput::addressIn(const QString& line, bool complete) {
  const qsizetype at = line.indexOf(kAddress);
  if (at < 0) return {};
  const QString rest = line.mid(at + kAddress.size());
  const qsizetype end = rest.indexOf(kAddressEnd);
  if (end < 0 && !complete) return {};
  QString address = (end < 0 ? rest : rest.left(end)).trimmed();
  while (address.endsWith(QLatin1Char('/'))) address.chop(1);
  return figure(address);
}

OXPeerflixOutput::Reading OXPeerflixOutput::feed(QByteArrayView bytes) {
  // The decoder keeps a character cut by the chunk's end for the next one, and stands U+FFFD for bytes that are
  // no UTF-8.
  const QString text = decoder_(bytes);
  QStringList lines;
  for (const QChar c : text) take(c, lines);

  Reading r;
  auto read = [&](const QString& line, bool complete) {
    if (QString p = peersIn(line); !p.isNull()) r.peers = p;
    if (QString b = bufferingIn(line); !b.isNull()) r.buffering = b;
    if (addressFound_) return;
    if (QString a = addressIn(line, complete); !a.isNull()) {
      r.address = a;
      addressFound_ = true;
    }
  };
  for (const QString& line : lines) read(line, true);
  read(line_, false);
  return r;
}

void OXPeerflixOutput::endLine(QStringList& lines) {
  if (!line_.trimmed().isEmpty()) lines << line_;
  line_.clear();
}

void OXPeerflixOutput::take(QChar c, QStringList& lines) {
  const char16_t u = c.unicode();
  if (escape_.isEmpty()) {
    if (u == kEscape) {
      escape_ = c;
    } else if (u == u'\n' || u == u'\r') {
      endLine(lines);
    } else if ((u >= 0x20 && u != 0x7F) || u == u'\t') {
      line_.append(c);
      if (line_.size() > kLongestLine) line_ = line_.right(kKeptOfLongLine);
    }
    return;
  }

  escape_.append(c);
  const char16_t kind = escape_.at(1).unicode();
  if (escape_.size() == 2) {
    if (u == kEscape) {
      escape_ = c;  // a lone escape character, then a new sequence
    } else if (u != u'[' && u != u']' && !(u >= u'(' && u <= u'+')) {
      escape_.clear();  // two characters: ESC 7, ESC c, ...
    }
    return;
  }
  if (kind == u'[') {
    if (u >= 0x40 && u <= 0x7E) {
      // Cursor home and the screen clears start a new screen of text.
      if (u == u'H' || u == u'f' || u == u'J') endLine(lines);
      escape_.clear();
    } else if (u < 0x20 || u > 0x3F || escape_.size() > kLongestSequence) {
      // Not a control sequence after all: the character counts as text.
      escape_.clear();
      take(c, lines);
    }
  } else if (kind == u']') {
    // An operating-system command (window titles) ends with BEL or ESC backslash.
    const bool stringEnd = u == kBell || (u == u'\\' && escape_.at(escape_.size() - 2).unicode() == kEscape);
    if (stringEnd || escape_.size() > kLongestSequence) escape_.clear();
  } else {
    escape_.clear();  // a character-set choice: ESC ( B
  }
}
