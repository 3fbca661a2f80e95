// Title cleaning and season/episode parsing of OXFile: turns a release-style file name into the text searched
// for, and reads the year, season and episode out of it.
#include <QRegularExpression>
#include <array>
#include <limits>

#include "core/OXFile.h"
#include "platform/foundation/FileName.h"
#include "platform/foundation/Text.h"

namespace {

const QString kBlank = QStringLiteral(" ");

// Tested in order; with removeEnd the text is cut at the earliest of them, so an entry also matches inside a word.
const std::array<QString, 38> kJunkWords = {
    QStringLiteral("720p"),     QStringLiteral("1080p"),   QStringLiteral("1080"),
    QStringLiteral("720"),      QStringLiteral("hdtv"),    QStringLiteral("hdtvrip"),
    QStringLiteral("bluray"),   QStringLiteral("brrip"),   QStringLiteral("dual"),
    QStringLiteral("x264-dimension"), QStringLiteral("xvid"), QStringLiteral("dvdrip"),
    QStringLiteral("dvd-rip"),  QStringLiteral("cd1"),     QStringLiteral("cd2"),
    QStringLiteral("dts"),      QStringLiteral("ac3"),     QStringLiteral("x264"),
    QStringLiteral("h264"),     QStringLiteral("bdrip"),   QStringLiteral("brip"),
    QStringLiteral("bdremux"),  QStringLiteral("hdrip"),   QStringLiteral("dvdscr"),
    QStringLiteral("mp3"),      QStringLiteral("multisub"), QStringLiteral(" dual "),
    QStringLiteral(" subs "),   QStringLiteral(" hd "),    QStringLiteral(" blueray "),
    QStringLiteral(" subt "),   QStringLiteral(" sub "),   QStringLiteral(" forz "),
    QStringLiteral(" multi "),  QStringLiteral(" eng "),   QStringLiteral(" spa "),
    QStringLiteral(" esp "),    QStringLiteral(" - "),
};

const std::array<QString, 7> kExtensions = {
    QStringLiteral(".mov"), QStringLiteral(".mkv"), QStringLiteral(".avi"), QStringLiteral(".mp4"),
    QStringLiteral(".mpg"), QStringLiteral(".flv"), QStringLiteral(".m4v"),
};

// The patterns were written for ICU. Two things differ under PCRE2 and are spelled out here:
// - "[[:space:]]" is ICU's White_Space property; PCRE2's POSIX class is ASCII-only (or, with Unicode
//   properties, a slightly different set), so the set is listed explicitly.
// - Everything else ("[.-_]" is the range '.'..'_' holding the digits and capitals, "[.-]" the two characters,
//   greedy quantifiers, leftmost first match) means the same in both engines.
#define OX_WS "[\\x{09}-\\x{0D}\\x{20}\\x{85}\\x{A0}\\x{1680}\\x{2000}-\\x{200A}\\x{2028}\\x{2029}\\x{202F}\\x{205F}\\x{3000}]"

struct Patterns {
  std::array<QRegularExpression, 8> seasonEpisode;
  std::array<QRegularExpression, 6> marker;
  QRegularExpression year;
};

QRegularExpression compiled(const char* pattern) {
  QRegularExpression re(QString::fromLatin1(pattern));
  Q_ASSERT(re.isValid());
  // Compile now, inside the thread-safe static initialisation, so concurrent matches only read it.
  re.optimize();
  return re;
}

const Patterns& patterns() {
  static const Patterns p = [] {
    Patterns r;
    const char* const se[8] = {
        "[sS][^0-9]([0-9][0-9]?)(?:" OX_WS "|[.-_])[eE]([0-9]+)",
        "[sS]([0-9]+)(?:" OX_WS "*)[eE]([0-9]+)",
        "[tT][^0-9]([0-9][0-9]?)(?:" OX_WS "|[.-_])[eE]([0-9]+)",
        "[tT]([0-9]+)(?:" OX_WS "*)[eE]([0-9]+)",
        "[^0-9]([0-9][0-9]?)(?:" OX_WS "*[xX]" OX_WS "*)([0-9]+)",
        "[^0-9]([0-9][0-9]?)(?:" OX_WS "*[.-]" OX_WS "*)([0-9]+)",
        "([0-9][0-9]?)(?:" OX_WS "*[xX]" OX_WS "*)([0-9]+)",
        "([0-9][0-9]?)(?:" OX_WS "*[.-]" OX_WS "*)([0-9]+)",
    };
    for (int i = 0; i < 8; ++i) r.seasonEpisode[i] = compiled(se[i]);
    for (int i = 0; i < 5; ++i) r.marker[i] = r.seasonEpisode[i];
    r.marker[5] = compiled("[^0-9]([0-9][0-9]?)(?:" OX_WS "*[.-_]" OX_WS "*)([0-9]+)");
    r.year = compiled("[^1-2]([1-2][0-9][0-9][0-9])");
    return r;
  }();
  return p;
}

#undef OX_WS

std::mutex& dateSourceMutex() {
  static std::mutex m;
  return m;
}

OXFile::DateSource& dateSource() {
  static OXFile::DateSource source;
  return source;
}

QString lastPathComponent(const QString& path) {
  QString p = path;
  while (p.size() > 1 && p.endsWith(u'/')) p.chop(1);
  if (p == QStringLiteral("/")) return p;
  return p.mid(p.lastIndexOf(u'/') + 1);
}

// The root "/" counts as the first component; repeated slashes make no empty components.
QStringList pathComponents(const QString& path) {
  QStringList parts;
  if (path.startsWith(u'/')) parts << QStringLiteral("/");
  const QStringList pieces = path.split(u'/', Qt::SkipEmptyParts);
  parts += pieces;
  return parts;
}

// The number of a folder name such as "Season 2": non-digits trimmed from both ends, then read.
long long folderNumber(const QString& name) {
  qsizetype b = 0, e = name.size();
  while (b < e && !name.at(b).isDigit()) ++b;
  while (e > b && !name.at(e - 1).isDigit()) --e;
  return ox::leadingInteger(name.mid(b, e - b));
}

quint64 unsignedNumber(const QString& text) {
  const long long v = ox::leadingInteger(text);
  return v < 0 ? 0 : quint64(v);
}

// Extensions go only where they end a word: ".mov" must not eat into "movie".
QString removeExtension(const QString& s, const QString& ext) {
  QString out;
  out.reserve(s.size());
  qsizetype from = 0;
  for (;;) {
    const qsizetype at = s.indexOf(ext, from, Qt::CaseInsensitive);
    if (at < 0) break;
    const qsizetype end = at + ext.size();
    const bool endsWord = end >= s.size() || !s.at(end).isLetterOrNumber();
    out += QStringView(s).mid(from, (endsWord ? at : end) - from);
    from = end;
  }
  out += QStringView(s).mid(from);
  return out;
}

void removeBracketed(QString& s, const QString& open, const QString& close) {
  while (s.contains(open)) {
    const qsizetype o = s.indexOf(open);
    const qsizetype c = s.indexOf(close);
    if (c >= 0 && c < o) s.remove(c, close.size());
    else if (c < 0) s.truncate(o);
    else s.remove(o, c + close.size() - o);
  }
}

}  // namespace

void OXFile::setDateSource(DateSource source) {
  std::lock_guard lock(dateSourceMutex());
  dateSource() = std::move(source);
}

int OXFile::currentYear() {
  std::lock_guard lock(dateSourceMutex());
  const QDate today = dateSource() ? dateSource()() : QDate::currentDate();
  return today.year();
}

QString OXFile::filterFilename(const QString& name, bool removeEnd) {
  QString s = name.toLower();
  for (const QString& ext : kExtensions) s = removeExtension(s, ext);
  s.replace(u'.', u' ').replace(u',', u' ').replace(u'_', u' ').replace(QStringLiteral(" - "), kBlank);

  removeBracketed(s, QStringLiteral("("), QStringLiteral(")"));
  removeBracketed(s, QStringLiteral("["), QStringLiteral("]"));
  removeBracketed(s, QStringLiteral("www "), QStringLiteral(" com"));

  // Credits: "by" and the one word after it go, that word wherever it occurs.
  const QString by = QStringLiteral(" by ");
  while (s.contains(by)) {
    const QStringList words = s.split(kBlank);
    const qsizetype at = words.indexOf(QStringLiteral("by"));
    const QString credited = at >= 0 && at + 1 < words.size() ? words.at(at + 1) : QString();
    if (!credited.isEmpty()) s.remove(credited, Qt::CaseInsensitive);
    s.remove(by, Qt::CaseInsensitive);
  }

  if (removeEnd) {
    qsizetype cut = s.size();
    for (const QString& junk : kJunkWords) {
      const qsizetype at = s.indexOf(junk);
      if (at >= 0 && at < cut) cut = at;
    }
    s.truncate(cut);
  } else {
    for (const QString& junk : kJunkWords) s.remove(junk, Qt::CaseInsensitive);
  }

  // Everything from the first year on is release detail, unless the year opens the title.
  const long long now = currentYear();
  const QStringList words = s.split(kBlank);
  for (qsizetype i = 0; i < words.size(); ++i) {
    const long long n = ox::leadingInteger(words.at(i));
    if (n >= 1901 && n <= now) {
      if (i > 0) s = words.mid(0, i).join(kBlank);
      break;
    }
  }
  return cleanSpaces(s);
}

QString OXFile::filterTextForFullText(const QString& filePath) const {
  // Bytes of a Latin-1 name are searched as the letters they stand for.
  const QString path = ox::readableFileName(filePath);
  const QString name = lastPathComponent(path);
  if (type() == kTypeEpisode) {
    const QStringList m = parseSeasonAndEpisode(name);
    const qsizetype p = m.isEmpty() ? -1 : name.indexOf(m.at(0));
    const long long n = ox::leadingInteger(name);
    if (n != 0 && (m.isEmpty() || p == 0)) {
      // "Show/Season 2/05 - Name.avi": the show is the grandparent folder.
      const QStringList parts = pathComponents(path);
      if (parts.size() >= 3 && folderNumber(parts.at(parts.size() - 2)) != 0) return parts.at(parts.size() - 3);
    }
  }
  QString t = filterFilename(name, true);
  t.remove(u'&');
  t.remove(u'?');
  if (t.endsWith(u'-')) t.chop(1);
  if (t.endsWith(u'_')) t.chop(1);
  return cleanSpaces(t);
}

QString OXFile::cleanSpaces(const QString& text) {
  return text.split(kBlank, Qt::SkipEmptyParts).join(kBlank);
}

QString OXFile::cleanSpacesAtTheEnd(const QString& text) {
  qsizetype e = text.size();
  while (e > 0 && text.at(e - 1) == u' ') --e;
  return text.left(e);
}

QString OXFile::removeFromText(const QString& text, quint64 n) {
  const QStringList words = text.split(kBlank);
  if (quint64(words.size()) <= n) return QString();
  return words.mid(0, qsizetype(quint64(words.size()) - n)).join(kBlank);
}

QString OXFile::queryDeletingLastWords(quint64 n) const { return removeFromText(fulltext(), n); }

QStringList OXFile::parseSeasonAndEpisode(const QString& text) {
  for (const QRegularExpression& re : patterns().seasonEpisode) {
    const QRegularExpressionMatch m = re.match(text);
    if (m.hasMatch()) return {m.captured(0), m.captured(1), m.captured(2)};
  }
  return {};
}

OXTextRange OXFile::parseSeasonAndEpisodeRange(const QString& text) {
  for (const QRegularExpression& re : patterns().marker) {
    const QRegularExpressionMatch m = re.match(text);
    if (m.hasMatch()) return {m.capturedStart(0), m.capturedLength(0)};
  }
  return {text.size(), 0};
}

quint64 OXFile::parseYear() const {
  const QRegularExpressionMatch m = patterns().year.match(lastPathComponent(filePath()));
  if (!m.hasMatch()) return 0;
  const quint64 y = unsignedNumber(m.captured(1));
  return y >= 1900 && y <= quint64(currentYear()) ? y : 0;
}

QVariantMap OXFile::getSeasonEpisodeValues() const {
  const QString path = filePath();
  const QString name = lastPathComponent(path);
  const auto values = [](quint64 season, quint64 episode) {
    return QVariantMap{{QStringLiteral("seasonNumber"), QString::number(season)},
                       {QStringLiteral("episodeNumber"), QString::number(episode)}};
  };
  QStringList m = parseSeasonAndEpisode(name);
  if (m.isEmpty()) m = parseSeasonAndEpisode(filterFilename(name, false));
  if (!m.isEmpty()) return values(unsignedNumber(m.at(1)), unsignedNumber(m.at(2)));
  if (type() == kTypeEpisode) {
    const long long n = ox::leadingInteger(name);
    const QStringList parts = pathComponents(path);
    if (n != 0 && parts.size() >= 3) {
      const long long d = folderNumber(parts.at(parts.size() - 2));
      if (d != 0) return values(d < 0 ? 0 : quint64(d), n < 0 ? 0 : quint64(n));
    }
  }
  return {};
}

quint64 OXFile::parseSeasonNumber() const {
  return unsignedNumber(getSeasonEpisodeValues().value(QStringLiteral("seasonNumber")).toString());
}

quint64 OXFile::parseEpisodeNumber() const {
  return unsignedNumber(getSeasonEpisodeValues().value(QStringLiteral("episodeNumber")).toString());
}
