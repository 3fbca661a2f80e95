// The display during playback: keys and remote commands against a playing title, the options rolls, and the
// downloaded subtitle that a resting choice fetches and loads.
#include "playback/OXVideoOSD.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "core/OXApplicationSupport.h"
#include "core/OXLibrary.h"
#include "platform/foundation/Info.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/WindowServer.h"
#include "playback/OXOpenSubtitleController.h"
#include "playback/OXPlayerController.h"
#include "tests/support/LoopbackServer.h"
#include "tests/playback/ExitWatch.h"
#include "tests/support/MediaSamples.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

using namespace ox;

namespace {

#define REQUIRE_SAMPLES()                                 \
  const oxtest::MediaSamples& s = oxtest::mediaSamples(); \
  if (!s.ok) GTEST_SKIP() << "ffmpeg could not make the sample media";

struct Caller : OXPlayerControllerDelegate {
  bool loaded = false;
  void videoDidFailed() override {}
  void videoDidLoaded() override { loaded = true; }
  void videoDidClosedWithError(bool) override {}
};

// A playback of `path` that has started, with the display holding the player.
struct Playback {
  std::shared_ptr<OXPlayerController> controller;
  std::shared_ptr<Caller> caller = std::make_shared<Caller>();
  std::shared_ptr<VLCMediaPlayer> player;
  std::shared_ptr<OXVideoOSD> osd;
  Playback(const QString& path, const QVariantList& subtitles) {
    auto movie = OXMovie::initWithStreamerDictionary({{"id", "tt9000001"}, {"title", "The Glass Harbour"}});
    auto file = OXFile::initWithType(OXFile::kTypeMovie);
    file->setFilePath(path);
    movie->setFile(file);
    controller = OXPlayerController::initWithData(movie, 0, subtitles);
    controller->setDelegate(caller);
    player = controller->videoPlayerCore()->player();
    osd = controller->videoPlayerOSD()->osd();
  }
  bool started() { return oxtest::spinUntil([&] { return caller->loaded; }, 60000); }
  ~Playback() { controller->close(false); }
};

// Through the key window, as the keyboard reaches the display.
void press(const QString& characters) { WindowServer::shared().dispatchKeyEvent(KeyEvent::withCharacters(characters)); }
const QString kRight{QChar(RightArrowFunctionKey)}, kLeft{QChar(LeftArrowFunctionKey)}, kUp{QChar(UpArrowFunctionKey)},
    kDown{QChar(DownArrowFunctionKey)}, kEscape{QChar(27)};

QStringList rowTexts(const LayerPtr& roll) {
  QStringList out;
  for (const LayerPtr& row : roll->sublayers())
    out << std::dynamic_pointer_cast<TextLayer>(row->layerValue("__holderLayer"))->string();
  return out;
}

class LanguagesSet {
 public:
  explicit LanguagesSet(const QList<QPair<QString, bool>>& languages) : saved_(OXLibrary::shareLibrary()->subtitleLanguages()) {
    QVariantList list;
    for (const auto& [name, on] : languages) list << QVariantMap{{"LanguageName", name}, {"enable", on}};
    OXLibrary::shareLibrary()->setSubtitleLanguages(list);
  }
  ~LanguagesSet() { OXLibrary::shareLibrary()->setSubtitleLanguages(saved_); }

 private:
  QVariantList saved_;
};

}  // namespace

TEST(OXVideoOSD, TimeTextsAndNumbersWithoutAPlayer) {
  EXPECT_EQ(OXVideoOSD::timeText(3725), "01:02:05");
  EXPECT_EQ(OXVideoOSD::timeText(59), "00:00:59");
  OXVideoOSD osd(QRectF(0, 0, 640, 360));
  EXPECT_EQ(osd.currentTimeAsPercentage(), 0.0f);
  EXPECT_EQ(osd.currentTimeAsString(), "00:00:00");
  EXPECT_EQ(osd.durationToEndAsString(), "-00:00:00");
  EXPECT_EQ(osd.remainingTime(), 0.0f);
  osd.keyPlay();  // nothing to drive: nothing happens
  EXPECT_FALSE(osd.loadLocalFonts("ombrixeglyph"));
  EXPECT_TRUE(osd.loadLocalFonts("no-such-font"));
}

TEST(OXVideoOSD, KeysPauseJumpAndLeaveWithTheReachedFractionOnce) {
  REQUIRE_SAMPLES();
  ExitWatch exits;
  Playback p(s.longClip, {});
  ASSERT_TRUE(p.started());
  ASSERT_TRUE(oxtest::spinUntil([&] { return p.player->length() > 0 && p.player->isPlaying(); }, 5000));

  press(" ");
  ASSERT_TRUE(oxtest::spinUntil([&] { return p.player->state() == VLCMediaPlayerStatePaused; }, 5000));
  EXPECT_EQ(p.osd->glyphsPlayPause()->string(), "5");
  EXPECT_EQ(p.osd->barLayer()->opacity(), 1.0);
  press(" ");
  ASSERT_TRUE(oxtest::spinUntil([&] { return p.player->isPlaying(); }, 5000));
  EXPECT_EQ(p.osd->glyphsPlayPause()->string(), "4");

  // With under a minute left and gone, every jump is the short one, 10 s.
  const qint64 start = p.player->time().value();
  press(kRight);
  EXPECT_GE(p.player->time().value(), start + 9000);
  press(kUp);
  EXPECT_GE(p.player->time().value(), start + 19000);
  press(kDown);
  EXPECT_LT(p.player->time().value(), start + 12000);
  press(kLeft);
  EXPECT_LT(p.player->time().value(), start + 2000);
  ASSERT_TRUE(oxtest::spinUntil([&] { return p.player->time().value() >= 1000; }, 5000));

  // "m" opens the options; Escape then only closes them, a second Escape leaves.
  press("m");
  EXPECT_TRUE(p.osd->optionsPanel());
  press(kEscape);
  EXPECT_FALSE(p.osd->optionsPanel());
  EXPECT_TRUE(exits.percentages.empty());
  const float reached = float(p.player->time().value()) / float(p.player->length());
  press(kEscape);
  ASSERT_EQ(exits.percentages.size(), 1u);
  EXPECT_NEAR(exits.percentages.front(), reached, 0.05);
  EXPECT_GT(exits.percentages.front(), 0.0f);
  EXPECT_TRUE(p.player->audio()->isMuted());
  // Once per playback, also when the title then ends.
  press(kEscape);
  p.player->setTime(p.player->length() - 500);
  oxtest::spinFor(1500);
  EXPECT_EQ(exits.percentages.size(), 1u);
}

TEST(OXVideoOSD, AStreamOfUnknownLengthPausedStaysPausedUntilPlayedOrLeft) {
  REQUIRE_SAMPLES();
  ExitWatch exits;
  Playback p(s.rawStream, {});
  ASSERT_TRUE(p.started());
  ASSERT_TRUE(oxtest::spinUntil([&] { return p.player->isPlaying(); }, 5000));
  EXPECT_EQ(p.player->length(), 0);  // raw H.264 has no length to tell

  press(" ");
  ASSERT_TRUE(oxtest::spinUntil([&] { return p.player->state() == VLCMediaPlayerStatePaused; }, 5000));
  oxtest::spinFor(500);
  EXPECT_TRUE(exits.percentages.empty());
  EXPECT_EQ(p.player->state(), VLCMediaPlayerStatePaused);
  EXPECT_EQ(p.osd->glyphsPlayPause()->string(), "5");
  press(" ");
  ASSERT_TRUE(oxtest::spinUntil([&] { return p.player->isPlaying(); }, 5000));
  EXPECT_TRUE(exits.percentages.empty());
  // Menu still leaves, with no fraction to tell.
  press(kEscape);
  ASSERT_EQ(exits.percentages.size(), 1u);
  EXPECT_EQ(exits.percentages.front(), 0.0f);
}

TEST(OXVideoOSD, HeldArrowsRepeatUntilReleased) {
  struct Counting : OXVideoOSD {
    using OXVideoOSD::OXVideoOSD;
    int rights = 0, lefts = 0;
    void moveRight() override { ++rights; }
    void moveLeft() override { ++lefts; }
  };
  auto osd = std::make_shared<Counting>(QRectF(0, 0, 640, 360));
  osd->holdRight();
  ASSERT_TRUE(oxtest::spinUntil([&] { return osd->rights >= 3; }, 2000));
  osd->holdLeft();  // takes the place of the first
  const int rights = osd->rights;
  ASSERT_TRUE(oxtest::spinUntil([&] { return osd->lefts >= 3; }, 2000));
  osd->releaseButton();
  const int lefts = osd->lefts;
  oxtest::spinFor(200);
  EXPECT_EQ(osd->rights, rights);
  EXPECT_EQ(osd->lefts, lefts);
}

TEST(OXVideoOSD, OptionRollsFollowTheTracksTheLanguagesAndTheResting) {
  REQUIRE_SAMPLES();
  LanguagesSet languages({{"English", true}, {"French", true}, {"German", false}});
  oxtest::LoopbackServer server;
  const QVariantList results{QVariantMap{{"LanguageName", "French"}, {"ZipDownloadLink", server.url("/fr.zip")}},
                             QVariantMap{{"LanguageName", "German"}, {"ZipDownloadLink", server.url("/de.zip")}},
                             QVariantMap{{"LanguageName", "English"}, {"ZipDownloadLink", server.url("/en.zip")}}};
  Playback p(s.longClip, results);
  ASSERT_TRUE(p.started());
  // A subtitle file of the media's own, then the rolls made again, as at the start of a title that has one.
  const int before = int(p.player->videoSubTitlesIndexes().size());
  ASSERT_TRUE(p.player->openVideoSubTitlesFromFile(s.subtitles));
  ASSERT_TRUE(oxtest::spinUntil([&] { return p.player->videoSubTitlesIndexes().size() > before; }, 5000));
  // libvlc selects an added file a moment after its track appears; start from subtitles off, as a title does.
  ASSERT_TRUE(oxtest::spinUntil([&] { return p.player->currentVideoSubTitleIndex() != -1; }, 5000));
  p.player->setCurrentVideoSubTitleIndex(-1);
  ASSERT_TRUE(oxtest::spinUntil([&] { return p.player->currentVideoSubTitleIndex() == -1; }, 5000));
  p.osd->createOptionsRoll(results);
  const QList<int> tracks = p.player->videoSubTitlesIndexes();
  const QList<int> audio = p.player->audioTrackIndexes();
  ASSERT_EQ(audio.size(), 3);

  // Audio: the two tracks after "off". Subtitles: off, the media's own (last first), the enabled results in order.
  EXPECT_EQ(p.osd->audioTracks().size(), 2);
  EXPECT_EQ(p.osd->audioTracks().value(1).toMap().value("index"), audio[2]);
  QStringList expected{"Disable"};
  for (int i = int(tracks.size()) - 1; i >= 0; --i)
    if (tracks[i] != -1) expected << p.player->videoSubTitlesNames()[i].left(19);
  expected << "French" << "English";
  EXPECT_EQ(rowTexts(p.osd->subtitleLayerContents()), expected);
  EXPECT_EQ(p.player->currentVideoSubTitleIndex(), -1);

  press("o");
  ASSERT_TRUE(p.osd->optionsPanel());
  press(kDown);
  EXPECT_EQ(p.player->currentAudioTrackIndex(), audio[2]);
  press(kRight);
  EXPECT_EQ(p.osd->columnOption(), 1u);
  press(kRight);  // no further while subtitles are off
  EXPECT_EQ(p.osd->columnOption(), 1u);

  // Three quick steps rest on the media's track: only that one applies, a second after the last step.
  press(kDown);
  press(kDown);
  press(kUp);
  EXPECT_EQ(p.player->currentVideoSubTitleIndex(), -1);
  ASSERT_TRUE(oxtest::spinUntil([&] { return p.player->currentVideoSubTitleIndex() == tracks.back(); }, 3000));
  EXPECT_EQ(server.requestCount(), 0);

  // The delay column: one step later is 0.1 s, two steps back -0.1 s, and the middle row says so.
  press(kRight);
  EXPECT_EQ(p.osd->columnOption(), 2u);
  press(kDown);
  EXPECT_EQ(p.player->currentVideoSubTitleDelay(), 100000);
  ASSERT_TRUE(oxtest::spinUntil(
      [&] { return rowTexts(p.osd->subtitleDelayLayerContents()).value(3) == "0.1 s. after"; }, 2000));
  press(kUp);
  press(kUp);
  EXPECT_EQ(p.player->currentVideoSubTitleDelay(), -100000);
  ASSERT_TRUE(oxtest::spinUntil(
      [&] { return rowTexts(p.osd->subtitleDelayLayerContents()).value(3) == "0.1 s. before"; }, 2000));
  press(kEscape);
  EXPECT_FALSE(p.osd->optionsPanel());
}

TEST(OXVideoOSD, DownloadedSubtitleIsFetchedOnceUnpackedAndLoadedWhileChosen) {
  REQUIRE_SAMPLES();
  oxtest::StandIn& standIn = oxtest::StandIn::shared();
  ASSERT_TRUE(standIn.isRunning());
  standIn.clear();
  LanguagesSet languages({{"English", true}, {"French", true}});
  ox::registerInfoValues({{"CFBundleName", "Ombrix"}});
  auto cache = OXApplicationSupport::initWithFolderName("Player");
  ASSERT_TRUE(cache);
  cache->cleanSubtitleFolder();
  auto search = OXOpenSubtitleController::init();
  ASSERT_TRUE(search);
  const QVariantList results = search->searchAllSubtitleForParameters({{"imdbid", "tt9000001"}});
  ASSERT_EQ(results.size(), 2);
  const auto downloads = [&] {
    int n = 0;
    for (const QVariant& r : standIn.requests("opensubtitles"))
      if (r.toMap().value("route").toString().startsWith("/download/")) ++n;
    return n;
  };

  Playback p(s.longClip, results);
  ASSERT_TRUE(p.started());
  const qsizetype tracks = p.player->videoSubTitlesNames().size();
  press("m");
  press(kRight);
  // An archive without a subtitle (a readme alone, from Python's zipfile) is no download: the next choice fetches.
  const char* readme = "UEsDBBQAAAAAAAAAIVCMphsBBQAAAAUAAAAKAAAAcmVhZG1lLm5mb25vdGVzUEsBAhQDFAAAAAAAAAAhUIymGwEFAAAA"
                       "BQAAAAoAAAAAAAAAAAAAAIABAAAAAHJlYWRtZS5uZm9QSwUGAAAAAAEAAQA4AAAALQAAAAAA";
  ASSERT_TRUE(standIn.command({{"cmd", "fault"}, {"service", "opensubtitles"}, {"kind", "answer"}, {"count", 1},
                               {"path", "/download/"}, {"base64", true}, {"body", readme}}).value("ok").toBool());
  press(kDown);  // "English", applied once the choice rests
  ASSERT_EQ(p.osd->currentSubtitleSelected().value("name"), "English");
  ASSERT_TRUE(
      oxtest::spinUntil([&] { return downloads() == 1 && p.osd->downloadsInFlight().isEmpty(); }, 10000));
  EXPECT_FALSE(cache->existFileForLanguage("English"));
  // Asked for again while it comes: still one download. Nothing else applies a choice from here on, so the one
  // load shows in the player's list before the next step looks at it.
  p.osd->newSubtitleTrackSelected();
  p.osd->newSubtitleTrackSelected();
  p.osd->newSubtitleTrackSelected();
  EXPECT_EQ(p.osd->downloadsInFlight(), QSet<QString>({"English"}));
  ASSERT_TRUE(oxtest::spinUntil([&] { return p.player->videoSubTitlesNames().size() > tracks; }, 10000));
  const QString folder = cache->pathForSubtitleLanguageName("English");
  EXPECT_FALSE(QDir(folder).entryList({"*.srt"}, QDir::Files).isEmpty());
  EXPECT_EQ(downloads(), 2);

  // A download that arrives after the user moved on is kept but not loaded.
  press(kDown);  // "French"
  p.osd->newSubtitleTrackSelected();
  press(kUp);
  press(kUp);  // back to "Disable" before it arrives
  const qsizetype loaded = p.player->videoSubTitlesNames().size();
  ASSERT_TRUE(oxtest::spinUntil([&] { return p.osd->downloadsInFlight().isEmpty(); }, 10000));
  EXPECT_TRUE(cache->existFileForLanguage("French"));
  EXPECT_TRUE(oxtest::spinUntil([&] { return p.player->currentVideoSubTitleIndex() == -1; }, 10000));
  oxtest::spinFor(1300);
  EXPECT_EQ(p.player->videoSubTitlesNames().size(), loaded);
  EXPECT_EQ(downloads(), 3);

  // A later choice opens the file its download found and looks through nothing: with that file gone and another
  // .srt in its folder, nothing is loaded and nothing fetched again.
  const QStringList found = QDir(folder).entryList({"*.srt"}, QDir::Files);
  ASSERT_EQ(found.size(), 1);
  ASSERT_TRUE(QFile::rename(folder + "/" + found[0], folder + "/0-other.srt"));
  press(kDown);  // "English"
  oxtest::spinFor(1300);
  EXPECT_EQ(p.player->videoSubTitlesNames().size(), loaded);
  EXPECT_EQ(downloads(), 3);
  cache->cleanSubtitleFolder();
}
