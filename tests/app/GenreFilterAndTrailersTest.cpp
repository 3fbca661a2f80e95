// The genre filters of the browsers (who belongs to which filter, the change of the group in force) and the
// trailers section on lists of this test alone: a damaged list, a list fetched but never kept, a fetch that answers
// late, Menu while a trailer opens, and a trailer that cannot be had.
#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "app/OXMainInterface.h"
#include "app/OXTrailers.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Transaction.h"
#include "platform/media/VLCLibrary.h"
#include "playback/OXVideoOSD.h"
#include "tests/app/AppTestUtil.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/MediaSamples.h"
#include "tests/support/TestUtil.h"

namespace {

std::shared_ptr<OXMovie> movie(const QString& id, const QString& title, const QVariantMap& more = {}) {
  QVariantMap fields = more;
  fields.insert("title", title);
  return OXMovie::initWithDictionary({{"id", id}, {"fields", fields}});
}

class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::supportFolder();
    OXMainInterface::registerInfoValues();
    ox::VLCLibrary::setExtraArguments({QStringLiteral("--aout=adummy")});
    ox::DelayedCall::useManualTime(true);
    OXLibrary::shareLibrary()->setListenSoundtracks(false);
  }
  void TearDown() override {
    for (const auto& m : added) OXLibrary::shareLibrary()->removeContent(m);
    ox::DelayedCall::useManualTime(false);
    QFile::remove(trailerFile());
  }
  // The library keeps one movie per file path.
  void add(const std::shared_ptr<OXMovie>& m) {
    auto file = OXFile::initWithType(OXFile::kTypeMovie);
    file->setFilePath(QStringLiteral("/films/%1.mkv").arg(m->imdb()));
    m->setFile(file);
    OXLibrary::shareLibrary()->addContent(m);
    added << m;
  }
  template <class View>
  std::shared_ptr<View> makeView() {
    auto view = std::make_shared<View>(OXPreferencesValues::sharePreferences()->mainScreenFrame());
    view->setupLayers();
    view->setDelegate(switcher);
    EXPECT_TRUE(oxtest::spinUntil([&] { return view->pendingPosters() == 0; }, 10000));
    oxtest::spinFor(50);
    ox::Transaction::flush();
    return view;
  }
  void settle(double seconds) {
    ox::DelayedCall::advanceManualTime(seconds);
    oxtest::spinFor(20);
    clock.advance(seconds);
    ox::Transaction::flush();
  }
  static QString trailerFile() { return OXLibrary::shareLibrary()->pathWithFolder("Trailers", "trailers_en.ox"); }
  static void writeTrailerList(const QVariantList& hits) {
    ASSERT_TRUE(ox::writeFileAtomically(trailerFile(), ox::archivedDataWithRootObject(hits, "listS3")));
  }
  static QVariantMap hit(const QString& id, const QString& title, const QStringList& trailers) {
    return {{"id", id}, {"fields", QVariantMap{{"title", title}, {"trailers", trailers}}}};
  }
  static QStringList titles(const MoviesView& view) {
    QStringList list;
    for (const auto& poster : view.enableMovies().posters)
      list << dynamic_cast<const OXMediaFields*>(poster->value("modelObject").value<ox::CodingPtr>().get())->title();
    return list;
  }

  apptest::Screen1080 screen;
  ox::ManualClock clock{100};
  QList<std::shared_ptr<OXMovie>> added;
  std::shared_ptr<apptest::RecordingSwitcher> switcher = std::make_shared<apptest::RecordingSwitcher>();
};

}  // namespace

TEST(GenreFilter, ExclusionWinsGenresCompareExactlyAndPopularGoesByYearOrPopularity) {
  const qint64 year = 2030;
  const auto fits = [&](quint64 filter, const QVariantMap& fields) {
    return MoviesView::isInFilter(filter, *movie("tt1", "T", fields), year);
  };
  EXPECT_FALSE(fits(3, {{"genre", QStringList{"Comedy", "Horror"}}}));
  EXPECT_FALSE(fits(5, {{"genre", QStringList{"Horror", "Kids"}}}));
  EXPECT_TRUE(fits(5, {{"genre", QStringList{"Horror", "Drama"}}}));
  EXPECT_TRUE(fits(3, {{"genre", QStringList{" Comedy"}}}));
  EXPECT_FALSE(fits(3, {{"genre", QStringList{"comedy"}}}));
  EXPECT_TRUE(fits(1, {{"genre", QStringList{"Kids & Family"}}}));
  EXPECT_FALSE(fits(1, {{"genre", QStringList{"Family", " Adult"}}}));
  EXPECT_TRUE(fits(7, {{"genre", QStringList{"Horror", "Sci-Fi"}}}));  // this one excludes nothing
  EXPECT_TRUE(fits(2, {{"year", year - 4}}));
  EXPECT_FALSE(fits(2, {{"year", year - 5}, {"extpopularity", 10000}}));
  EXPECT_TRUE(fits(2, {{"year", year - 5}, {"extpopularity", 10001}}));
  for (quint64 filter : {1, 3, 4, 5, 6, 7}) EXPECT_FALSE(fits(filter, {})) << filter;
  for (quint64 filter : {0, 8, 100}) EXPECT_TRUE(fits(filter, {})) << filter;
}

TEST_F(BrowserTest, AFilterNarrowsTheRowKeepsTheSelectedTitleWhenItCanAndCountsInTheHeader) {
  const int year = QDate::currentDate().year();
  add(movie("tt7100001", "Alpha", {{"genre", QStringList{"Comedy"}}}));
  add(movie("tt7100002", "Bravo", {{"genre", QStringList{"Drama"}}}));
  add(movie("tt7100003", "Charlie", {{"genre", QStringList{"Comedy", "Drama"}}}));
  add(movie("tt7100004", "Delta", {{"genre", QStringList{" Comedy"}}}));
  add(movie("tt7100005", "Echo", {{"genre", QStringList{"Horror"}}, {"year", year}}));
  auto view = makeView<MoviesView>();
  QStringList offered;
  for (const auto& g : view->filtersArray()) offered << g.title;
  EXPECT_EQ(offered, QStringList({"See Everything", "Popular", "Get Some Laught", "Scare Me Please"}));
  view->setSelectedIndex(2);  // Charlie
  const auto apply = [&](qint64 entry) { view->filterApply(ox::Button(QString(), entry)); };

  apply(2);
  EXPECT_EQ(titles(*view), QStringList({"Alpha", "Charlie", "Delta"}));
  EXPECT_EQ(view->selectedIndex(), 1u);
  EXPECT_EQ(view->selectedCoverTitle(), "Charlie");
  EXPECT_EQ(view->titleSectionLayer()->string(), "3 Movies");
  QList<bool> enabled;
  for (const auto& p : view->coverflowLayer()->sublayers()) enabled << p->value("isEnable").toBool();
  EXPECT_EQ(enabled, QList<bool>({true, false, true, true, false}));
  view->setSelectedIndex(0);
  apply(2);  // the group in force: nothing changes
  EXPECT_EQ(view->selectedIndex(), 0u);

  apply(3);  // Alpha is not in it: the middle one of one
  EXPECT_EQ(titles(*view), QStringList{"Echo"});
  EXPECT_EQ(view->selectedIndex(), 0u);
  EXPECT_EQ(view->titleSectionLayer()->string(), "1 Movies");
  apply(0);
  EXPECT_EQ(view->selectedCoverTitle(), "Echo");
  EXPECT_EQ(view->currentFilterIndex(), 0u);

  // Down opens the list on the group in force; choosing an entry applies it and the list closes.
  view->moveDown();
  ASSERT_TRUE(view->filterMenu());
  auto list = view->filterMenu()->panel();
  EXPECT_EQ(list->selectedIndex(), 0u);
  list->moveDown();
  list->moveDown();
  list->keyPlay();
  EXPECT_EQ(view->currentFilterIndex(), 2u);
  EXPECT_EQ(view->selectedIndex(), 1u);  // Echo is not in it: the middle one of three
  oxtest::spinFor(700);
}

TEST_F(BrowserTest, ADamagedTrailerListShowsAnEmptyRowAndAMissingOneIsFetchedButNeverKept) {
  oxtest::LoopbackServer bucket;
  qputenv("OMBRIX_BUCKET_URL", bucket.url("").toString().toUtf8());
  ASSERT_TRUE(ox::writeFileAtomically(trailerFile(), "<html>not an archive</html>"));
  auto damaged = makeView<OXTrailers>();
  EXPECT_EQ(damaged->titleSectionLayer()->string(), "0 Trailers");
  EXPECT_TRUE(bucket.requests().empty());  // a list on disk is never fetched

  writeTrailerList({hit("tt7200002", "Zephyr", {"http://127.0.0.1:9/z.mp4"}), QVariantMap{{"id", "x"}},
                    QString("junk"), hit("tt7200001", "aurora", {})});
  EXPECT_EQ(titles(*makeView<OXTrailers>()), QStringList({"aurora", "Zephyr"}));

  QFile::remove(trailerFile());
  const QByteArray list = ox::archivedDataWithRootObject(QVariantList{hit("tt7200003", "Fetched", {})}, "listS3");
  bucket.setReply("/trailers_en.ox", {200, list, "application/octet-stream", {}});
  for (int build = 1; build <= 2; ++build) {
    EXPECT_EQ(titles(*makeView<OXTrailers>()), QStringList{"Fetched"});
    EXPECT_EQ(bucket.requests().size(), std::size_t(build));
  }
  EXPECT_FALSE(QFile::exists(trailerFile()));
  qputenv("OMBRIX_BUCKET_URL", "http://127.0.0.1:9");
}

TEST_F(BrowserTest, AMissingTrailerListIsFetchedOffTheMainThreadAndALateAnswerFillsOnlyAViewStillThere) {
  const QRectF frame = OXPreferencesValues::sharePreferences()->mainScreenFrame();
  // A first view loads the fonts and pictures, so that only a view's own work is timed below.
  std::make_shared<OXTrailers>(frame)->setupLayers();
  oxtest::LoopbackServer bucket;
  qputenv("OMBRIX_BUCKET_URL", bucket.url("").toString().toUtf8());
  const QByteArray list = ox::archivedDataWithRootObject(QVariantList{hit("tt7250001", "Late", {})}, "listS3");
  bucket.setReply("/trailers_en.ox", {200, list, "application/octet-stream", {}});
  bucket.setNeverAnswer(true);
  std::shared_ptr<OXTrailers> stays, leaves;
  QTimer::singleShot(0, [&] {
    stays = std::make_shared<OXTrailers>(frame);
    stays->setupLayers();
  });
  EXPECT_LT(apptest::longestLoopStallMs(300), 1000);  // a wait on the list would last its 15 s time-out
  ASSERT_TRUE(stays);
  EXPECT_EQ(stays->titleSectionLayer()->string(), "0 Trailers");
  leaves = std::make_shared<OXTrailers>(frame);
  leaves->setupLayers();
  leaves->setDelegate(switcher);
  ASSERT_TRUE(bucket.waitForRequests(2));
  leaves->keyMenu();  // its download ends instead of running to its timeout
  EXPECT_TRUE(oxtest::spinUntil([&] { return leaves->pendingPosters() == 0; }, 5000));

  bucket.setNeverAnswer(false);
  ASSERT_TRUE(oxtest::spinUntil([&] { return stays->numberOfCovers() == 1; }, 5000));
  EXPECT_EQ(stays->titleSectionLayer()->string(), "1 Trailers");
  EXPECT_EQ(stays->selectedCoverTitle(), "Late");
  oxtest::spinFor(100);
  EXPECT_EQ(leaves->numberOfCovers(), 0u);
  EXPECT_FALSE(QFile::exists(trailerFile()));
  qputenv("OMBRIX_BUCKET_URL", "http://127.0.0.1:9");
}

TEST_F(BrowserTest, MenuWhileATrailerOpensClosesItsWindowAndEveryObservation) {
  const oxtest::MediaSamples& media = oxtest::mediaSamples();
  if (!media.ok) GTEST_SKIP() << "ffmpeg could not make the trailer";
  writeTrailerList({hit("tt7300001", "Clip", {QUrl::fromLocalFile(media.longClip).toString()})});
  OXLibrary::shareLibrary()->setRatioForIMDB(0.6f, "tt7300001");
  auto view = makeView<OXTrailers>();
  view->keyDown(ox::KeyEvent::withCharacters("\r"));
  EXPECT_FALSE(view->panelResume());  // a stored ratio asks nothing here
  EXPECT_TRUE(view->isPlaying());
  settle(MoviesView::kPlayDelay);
  const std::shared_ptr<OXFoundationPlayer> window = view->foundationPlayer();
  ASSERT_TRUE(window);
  EXPECT_TRUE(view->isObservingTrailer());
  view->keyMenu();
  EXPECT_FALSE(view->foundationPlayer());
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(view->isObservingTrailer());
  EXPECT_FALSE(view->isPlaying());
  // A late end of the trailer finds nobody listening, and a late buffer report neither shows the window again nor
  // plays the trailer on.
  ox::NotificationCenter::defaultCenter().post(QString::fromLatin1(exitPlayerNotification));
  window->observeValueForKeyPath(QStringLiteral("playbackLikelyToKeepUp"));
  settle(0.5);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->player()->rate(), 0);
  EXPECT_TRUE(view->acceptEvents());
  EXPECT_FALSE(view->errorPanel());
  EXPECT_EQ(view->splashScreen()->opacity(), 0);
  EXPECT_EQ(view->coverflowLayer()->opacity(), 1);
  OXLibrary::shareLibrary()->setRatioForIMDB(0, "tt7300001");
}

TEST_F(BrowserTest, ATrailerThatCannotBeHadAlertsOnceAndTheRowComesBack) {
  writeTrailerList({hit("tt7400001", "No Trailer", {})});
  auto view = makeView<OXTrailers>();
  view->keyPlay();
  settle(MoviesView::kPlayDelay);
  ASSERT_TRUE(view->errorPanel());
  EXPECT_EQ(view->errorPanel()->simpleAlertView()->textArray(), QStringList{"Sorry, we can't access the trailer."});
  EXPECT_FALSE(view->foundationPlayer());
  const auto alert = view->errorPanel();
  settle(0.5);
  EXPECT_EQ(view->errorPanel(), alert);
  EXPECT_TRUE(view->acceptEvents());
  EXPECT_EQ(view->coverflowLayer()->opacity(), 1);
  alert->close();
  oxtest::spinFor(400);
}
