// The season/episode and year patterns were written for ICU; our matcher is PCRE2. Run the original ICU patterns
// through ICU itself and compare, over crafted names and many generated ones rich in the characters the
// patterns care about.
#include <gtest/gtest.h>
#include <unicode/uregex.h>

#include <QRandomGenerator>
#include <array>

#include "core/OXFile.h"
#include "tests/core/CorePrinters.h"

namespace {

const char16_t* const kSeasonEpisode[8] = {
    u"[sS][^0-9]([0-9][0-9]?)(?:[[:space:]]|[.-_])[eE]([0-9]+)",
    u"[sS]([0-9]+)(?:[[:space:]]*)[eE]([0-9]+)",
    u"[tT][^0-9]([0-9][0-9]?)(?:[[:space:]]|[.-_])[eE]([0-9]+)",
    u"[tT]([0-9]+)(?:[[:space:]]*)[eE]([0-9]+)",
    u"[^0-9]([0-9][0-9]?)(?:[[:space:]]*[xX][[:space:]]*)([0-9]+)",
    u"[^0-9]([0-9][0-9]?)(?:[[:space:]]*[.-][[:space:]]*)([0-9]+)",
    u"([0-9][0-9]?)(?:[[:space:]]*[xX][[:space:]]*)([0-9]+)",
    u"([0-9][0-9]?)(?:[[:space:]]*[.-][[:space:]]*)([0-9]+)",
};
const char16_t* const kMarkerSix = u"[^0-9]([0-9][0-9]?)(?:[[:space:]]*[.-_][[:space:]]*)([0-9]+)";
const char16_t* const kYear = u"[^1-2]([1-2][0-9][0-9][0-9])";

class IcuPattern {
 public:
  explicit IcuPattern(const char16_t* pattern) {
    UErrorCode status = U_ZERO_ERROR;
    re_ = uregex_open(reinterpret_cast<const UChar*>(pattern), -1, 0, nullptr, &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  }
  ~IcuPattern() { uregex_close(re_); }
  IcuPattern(const IcuPattern&) = delete;
  IcuPattern& operator=(const IcuPattern&) = delete;

  // The first match as [whole, group 1, group 2] with the whole match's start; empty when none.
  QStringList firstMatch(const QString& text, qsizetype* start = nullptr) {
    UErrorCode status = U_ZERO_ERROR;
    uregex_setText(re_, reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()), &status);
    if (!uregex_find(re_, 0, &status)) return {};
    QStringList out;
    for (int g = 0; g <= uregex_groupCount(re_, &status); ++g) {
      const int32_t b = uregex_start(re_, g, &status), e = uregex_end(re_, g, &status);
      out << (b < 0 ? QString() : text.mid(b, e - b));
    }
    if (start) *start = uregex_start(re_, 0, &status);
    return out;
  }

 private:
  URegularExpression* re_ = nullptr;
};

struct Reference {
  std::array<std::unique_ptr<IcuPattern>, 8> se;
  std::unique_ptr<IcuPattern> six = std::make_unique<IcuPattern>(kMarkerSix);
  std::unique_ptr<IcuPattern> year = std::make_unique<IcuPattern>(kYear);
  Reference() {
    for (int i = 0; i < 8; ++i) se[i] = std::make_unique<IcuPattern>(kSeasonEpisode[i]);
  }

  QStringList seasonEpisode(const QString& t) {
    for (auto& p : se)
      if (auto m = p->firstMatch(t); !m.isEmpty()) return m;
    return {};
  }
  OXTextRange marker(const QString& t) {
    for (int i = 0; i < 6; ++i) {
      qsizetype start = 0;
      const QStringList m = i < 5 ? se[i]->firstMatch(t, &start) : six->firstMatch(t, &start);
      if (!m.isEmpty()) return {start, m.at(0).size()};
    }
    return {t.size(), 0};
  }
  quint64 parseYear(const QString& name) {
    const QStringList m = year->firstMatch(name);
    if (m.isEmpty()) return 0;
    const quint64 y = m.at(1).toULongLong();
    return y >= 1900 && y <= quint64(OXFile::currentYear()) ? y : 0;
  }
};

QStringList corpus() {
  QStringList names = {
      "Quiet.Orchard.1998.1080p.BluRay.x264-GRP.mkv", "Harbour.Lights.S02E05.720p.HDTV.x264.mkv",
      "05 - Low Tide.avi", "3x07.avi", "Harbour Lights 105.avi", "Harbour.Lights.1x02.Low.Tide.avi",
      "Show s 123e4", "Show s.2Xe4", "Show T01 E02", "show t.1_e2", "a 2 x 05", "a 2 - 05", "a1.2",
      "Show S02\u00A0E05", "Show S02\u2003E05", "Show S02\u0085E05", "Show 2\u3000x\u30005", "Show 2\tx\n5",
      "Show S02\u200BE05", "Show S02\u180EE05", "Show S02\u1680E05", "Show S02\u2028E05", "Show S02\u205FE05",
      "Show S02\uFEFFE05", "Show S02\u000BE05", "Show S02\u001CE05",
      "Show s:1?e3", "Show s/1[e3", "Show s 1^e3", "Show s 1`e3", "Movie (1999)", "Movie.2001.1999",
      "x3000", "a1900b", "\xF0\x9F\x8E\xAC" "s 12e3",  // a character outside the BMP before the marker
  };
  const QString alphabet = QString::fromUtf8("sSeEtTxX0123456789012345.-_ :/[^`@\u00A0\u2003\u0085\tab");
  QRandomGenerator rng(20240601);
  for (int i = 0; i < 20000; ++i) {
    QString s;
    const int n = 1 + int(rng.bounded(14));
    for (int k = 0; k < n; ++k) s += alphabet.at(int(rng.bounded(int(alphabet.size()))));
    names << s;
  }
  return names;
}

}  // namespace

TEST(PatternsAgreeWithIcu, SeasonEpisodeMarkerAndYear) {
  OXFile::setDateSource([] { return QDate(2024, 6, 1); });
  Reference icu;
  int checked = 0;
  for (const QString& name : corpus()) {
    ASSERT_EQ(OXFile::parseSeasonAndEpisode(name), icu.seasonEpisode(name)) << name.toStdString();
    ASSERT_EQ(OXFile::parseSeasonAndEpisodeRange(name), icu.marker(name)) << name.toStdString();
    QString fileName = name;
    fileName.replace(u'/', u'|');
    auto f = OXFile::initWithType(1);
    f->setFilePath("/d/" + fileName);
    ASSERT_EQ(f->parseYear(), icu.parseYear(fileName)) << fileName.toStdString();
    ++checked;
  }
  EXPECT_GT(checked, 20000);
  OXFile::setDateSource({});
}
