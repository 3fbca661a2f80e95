#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <memory>
#include <vector>

#include "core/OXFile.h"
#include "tests/core/CorePrinters.h"

namespace {

// Titles depend on the current year; pin it so the expectations do not age.
class TitleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OXFile::setDateSource([] { return QDate(2024, 6, 1); });
  }
  void TearDown() override { OXFile::setDateSource({}); }

  static std::shared_ptr<OXFile> file(const QString& path, qint32 type) {
    auto f = OXFile::initWithType(type);
    f->setFilePath(path);
    return f;
  }
  static QString title(const QString& path, qint32 type = 1) { return file(path, type)->fulltext(); }
  static std::pair<quint64, quint64> seasonEpisode(const QString& path, qint32 type = 3) {
    auto f = file(path, type);
    return {f->parseSeasonNumber(), f->parseEpisodeNumber()};
  }
};

using SE = std::pair<quint64, quint64>;

}  // namespace

TEST_F(TitleTest, WorkedExamples) {
  auto movie = file("/Movies/Quiet.Orchard.1998.1080p.BluRay.x264-GRP.mkv", 1);
  EXPECT_EQ(movie->fulltext(), "quiet orchard");
  EXPECT_EQ(movie->parseYear(), 1998u);
  EXPECT_EQ(movie->parseSeasonNumber(), 98u);
  EXPECT_EQ(movie->parseEpisodeNumber(), 1080u);

  auto bracketed = file("/Movies/Quiet Orchard (1998) [Extended].avi", 1);
  EXPECT_EQ(bracketed->fulltext(), "quiet orchard");
  EXPECT_EQ(bracketed->parseYear(), 1998u);
  EXPECT_TRUE(bracketed->getSeasonEpisodeValues().isEmpty());

  auto marked = file("/TV/Harbour Lights/Season 2/Harbour.Lights.S02E05.720p.HDTV.x264.mkv", 3);
  EXPECT_EQ(marked->fulltext(), "harbour lights");
  EXPECT_EQ(marked->parseYear(), 0u);
  EXPECT_EQ(marked->getSeasonEpisodeValues(),
            (QVariantMap{{"seasonNumber", "2"}, {"episodeNumber", "5"}}));

  auto numbered = file("/TV/Harbour Lights/Season 2/05 - Low Tide.avi", 3);
  EXPECT_EQ(numbered->fulltext(), "Harbour Lights");
  EXPECT_EQ(numbered->parseYear(), 0u);
  EXPECT_EQ(numbered->getSeasonEpisodeValues(),
            (QVariantMap{{"seasonNumber", "2"}, {"episodeNumber", "5"}}));
}

TEST_F(TitleTest, JunkWordsAndYears) {
  EXPECT_EQ(title("Quiet Individual.mkv"), "quiet indivi");  // "dual" matches inside the word
  EXPECT_EQ(title("Quiet Orchard 2012.avi"), "quiet orchard");
  EXPECT_EQ(title("2012 Quiet Orchard.avi"), "2012 quiet orchard");
  EXPECT_EQ(title("720p.Quiet.Orchard.mkv"), "");

  auto future = file("/m/Quiet Orchard 2999.avi", 1);
  EXPECT_EQ(future->fulltext(), "quiet orchard 2999");
  EXPECT_EQ(future->parseYear(), 0u);
  auto y1900 = file("/m/Quiet Orchard 1900.avi", 1);
  EXPECT_EQ(y1900->fulltext(), "quiet orchard 1900");
  EXPECT_EQ(y1900->parseYear(), 1900u);
  auto first = file("/m/Quiet.Orchard.1080p.2001.mkv", 1);
  EXPECT_EQ(first->fulltext(), "quiet orchard");
  EXPECT_EQ(first->parseYear(), 0u);  // the first year-pattern match is ".1080"
  EXPECT_EQ(file("/m/1998.Quiet.mkv", 1)->parseYear(), 0u);  // nothing precedes the year

  // The current year comes from the clock: the same name cuts once its year has come.
  OXFile::setDateSource([] { return QDate(2030, 1, 1); });
  EXPECT_EQ(title("Quiet Orchard 2029.avi"), "quiet orchard");
  OXFile::setDateSource([] { return QDate(2028, 12, 31); });
  EXPECT_EQ(title("Quiet Orchard 2029.avi"), "quiet orchard 2029");

  // With removeEnd NO every junk entry goes wherever it is, and nothing is cut.
  EXPECT_EQ(OXFile::filterFilename("Quiet.720p.Orchard.x264.mkv", false), "quiet orchard");
  EXPECT_EQ(OXFile::filterFilename("Quiet.720p.Orchard.x264.mkv", true), "quiet");
}

TEST_F(TitleTest, SeparatorsBracketsAndCredits) {
  EXPECT_EQ(title("Quiet - Orchard.avi"), "quiet orchard");
  EXPECT_EQ(title("Quiet_-_Orchard.avi"), "quiet orchard");
  EXPECT_EQ(title("Quiet,Orchard   Tale.avi"), "quiet orchard tale");
  EXPECT_EQ(title("Quiet) Orchard (Cut.avi"), "quiet orchard");           // stray ")" goes, "(" cuts to the end
  EXPECT_EQ(title("Quiet [Group] Orchard (Remux) End.avi"), "quiet orchard end");
  EXPECT_EQ(title("www.site.com - Quiet Orchard.avi"), "quiet orchard");
  EXPECT_EQ(title("quiet orchard by night crew.avi"), "quiet orchard crew");
  EXPECT_EQ(title("Tom & Ann? Ride.avi"), "tom ann ride");
  EXPECT_EQ(title("Quiet Orchard-.avi"), "quiet orchard");
  EXPECT_EQ(title(""), "");
  EXPECT_EQ(OXFile::cleanSpaces("  a   b  "), "a b");
  EXPECT_EQ(OXFile::cleanSpacesAtTheEnd("a b   "), "a b");
  EXPECT_EQ(OXFile::cleanSpacesAtTheEnd("   "), "");
}

TEST_F(TitleTest, ExtensionsEndWordsOnly) {
  // ".mov" inside "Movie" is part of the title, not an extension.
  EXPECT_EQ(title("Scary.Movie.2000.avi"), "scary movie");
  EXPECT_EQ(title("/m/Quiet.Orchard.MOV"), "quiet orchard");
  EXPECT_EQ(title("/m/Quiet.Orchard.mkv.part"), "quiet orchard part");
  EXPECT_EQ(title("The.Mp4ever.Tale.mp4"), "the mp4ever tale");
  EXPECT_EQ(OXFile::filterFilename("a.avi.mkv", true), "a");
}

TEST_F(TitleTest, EpisodeTitles) {
  EXPECT_EQ(title("/TV/Harbour Lights/Season 3/3x07.avi", 3), "Harbour Lights");
  EXPECT_EQ(title("/TV/Harbour Lights/Extras/3x07.avi", 3), "3x07");
  EXPECT_EQ(title("/TV/Harbour Lights 105.avi", 3), "harbour lights");
  EXPECT_EQ(title("/TV/Harbour.Lights.1x02.Low.Tide.avi", 3), "harbour lights");
  EXPECT_EQ(seasonEpisode("/TV/Harbour.Lights.1x02.Low.Tide.avi"), SE(1, 2));
  EXPECT_EQ(seasonEpisode("/TV/Harbour Lights/Season 3/3x07.avi"), SE(3, 7));
  // The folder rule only for episodes, and only with a numbered parent folder.
  EXPECT_EQ(seasonEpisode("/TV/Harbour Lights/Season 4/12 Low Tide.avi"), SE(4, 12));
  EXPECT_EQ(seasonEpisode("/TV/Harbour Lights/Season 4/12 Low Tide.avi", 1), SE(0, 0));
  EXPECT_EQ(seasonEpisode("/TV/Harbour Lights/Extras/12 Low Tide.avi"), SE(0, 0));
  // A marker found only after cleaning (the raw name has none).
  EXPECT_EQ(seasonEpisode("/TV/Harbour_Lights_S03_E04.avi"), SE(3, 4));
}

TEST_F(TitleTest, PatternSurprises) {
  // "[.-_]" is the range '.'..'_': digits and capitals separate season from episode in the first pattern.
  EXPECT_EQ(OXFile::parseSeasonAndEpisode("Harbour s 123e4"), (QStringList{"s 123e4", "12", "4"}));
  EXPECT_EQ(OXFile::parseSeasonAndEpisode("Harbour s.2Xe4"), (QStringList{"s.2Xe4", "2", "4"}));
  // ...but not lower-case letters.
  EXPECT_TRUE(OXFile::parseSeasonAndEpisode("Harbour s.2xe4").isEmpty());
  // The marker's sixth pattern separates by a digit, the general sixth pattern does not.
  EXPECT_EQ(OXFile::parseSeasonAndEpisodeRange("harbour lights 105"), (OXTextRange{14, 4}));
  EXPECT_TRUE(OXFile::parseSeasonAndEpisode("harbour lights 105").isEmpty());
  EXPECT_EQ(OXFile::parseSeasonAndEpisodeRange("harbour lights"), (OXTextRange{14, 0}));
  // "[[:space:]]" is Unicode white space, as in ICU: a no-break space separates too.
  EXPECT_EQ(OXFile::parseSeasonAndEpisode(QString::fromUtf8("Show S02\u00A0E05")),
            (QStringList{QString::fromUtf8("S02\u00A0E05"), "02", "05"}));
  EXPECT_EQ(OXFile::parseSeasonAndEpisode("Show 2 x 05"), (QStringList{" 2 x 05", "2", "05"}));
  EXPECT_EQ(OXFile::parseSeasonAndEpisode("2-05"), (QStringList{"2-05", "2", "05"}));
  EXPECT_TRUE(OXFile::parseSeasonAndEpisode("no numbers").isEmpty());
}

TEST_F(TitleTest, DeletingLastWords) {
  EXPECT_EQ(OXFile::removeFromText("quiet orchard", 1), "quiet");
  EXPECT_TRUE(OXFile::removeFromText("quiet orchard", 2).isNull());
  EXPECT_EQ(OXFile::removeFromText("a b c", 0), "a b c");
  auto f = file("/m/Quiet.Orchard.Tale.avi", 1);
  EXPECT_EQ(f->queryDeletingLastWords(2), "quiet");
  EXPECT_TRUE(f->queryDeletingLastWords(3).isNull());
}

TEST_F(TitleTest, ConcurrentCleaningAgrees) {
  // Identification runs many files at once; the shared patterns must give every thread the same answers.
  std::atomic<int> wrong{0};
  std::vector<std::unique_ptr<QThread>> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back(QThread::create([&wrong] {
      for (int i = 0; i < 300; ++i) {
        auto f = OXFile::initWithType(3);
        f->setFilePath("/TV/Harbour Lights/Season 2/Harbour.Lights.S02E05.720p.HDTV.x264.mkv");
        if (f->fulltext() != "harbour lights" || f->parseEpisodeNumber() != 5) ++wrong;
      }
    }));
    threads.back()->start();
  }
  for (auto& t : threads) t->wait();
  EXPECT_EQ(wrong.load(), 0);
}
