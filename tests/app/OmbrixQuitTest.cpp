// Ombrix ended while a film plays, as the program runs (tests/app/helpers: its own main, with someone at the keyboard
// who opens Movies and plays the film): by the frame variables, by SIGTERM, and by the display going away. Each way
// out leaves the film as Menu does, its point stored in "ratios.bin", releases libvlc and ends with status 0. And an
// answer of the subtitle service that cannot be read does not end it before the film: the film plays without subtitles.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <memory>

#include "core/OXLibrary.h"
#include "core/OXMovie.h"
#include "tests/support/StandIn.h"
#include "tests/support/MediaSamples.h"
#include "tests/support/TestUtil.h"

namespace {

const QString kFilm = QStringLiteral("tt9600001");

class OmbrixQuit : public ::testing::Test {
 protected:
  void SetUp() override {
    const oxtest::MediaSamples& media = oxtest::mediaSamples();
    if (!media.ok) GTEST_SKIP() << "ffmpeg could not make the film";
    // 90 s: still playing at the quit however long a loaded machine takes to open it.
    const QString path = dir.filePath("Test Pattern (2001).mkv");
    ASSERT_TRUE(QFile::copy(media.feature, path));
    auto library = OXLibrary::libraryWithSupportFolder(dir.filePath("data"));
    auto movie = OXMovie::initWithDictionary({{"id", kFilm}, {"fields", QVariantMap{{"title", "Test Pattern"}}}});
    auto file = OXFile::initWithType(OXFile::kTypeMovie);
    file->setFilePath(path);
    movie->setFile(file);
    ASSERT_TRUE(library->addContent(movie));
    ASSERT_TRUE(library->saveLibrary());
  }

  // The program on this library, headless unless `display` names one.
  void start(const QStringList& extra, const QString& display = {}) {
    QProcessEnvironment env = oxtest::programEnvironment();
    const QString pid = QString::number(QCoreApplication::applicationPid());
    QStringList vars = {"XDG_DATA_HOME=" + dir.filePath("data"), "XDG_CONFIG_HOME=" + dir.filePath("config"),
                        "OMBRIX_BUNDLE_IDENTIFIER=Varnel.Test" + pid + ".Ombrix",
                        "OMBRIX_HELPER_BUNDLE_IDENTIFIER=Varnel.Test" + pid + ".OmbrixHelper",
                        "OMBRIX_HELPER_PATH=/bin/true", "OMBRIX_KILLALL=/nonexistent/killall",
                        "OX_VLC_ARGS=--aout=adummy"};
    if (!display.isEmpty()) vars << "QT_QPA_PLATFORM=xcb" << "DISPLAY=" + display;
    for (const QString& v : vars + extra) env.insert(v.section('=', 0, 0), v.section('=', 1));
    oxtest::keepLibpixmanLoaded(env);
    ASSERT_TRUE(oxtest::startProcess(ombrix, QStringLiteral(OX_TEST_OMBRIX_PLAYER), {}, env));
  }

  // The point the film had reached when the keyboard's user saw it play, as a fraction; -1 when it never played.
  float waitUntilPlaying() {
    const bool seen = oxtest::spinUntil([&] {
      out += QString::fromUtf8(ombrix->readAllStandardOutput());
      return out.contains("playing ") || ombrix->state() == QProcess::NotRunning;
    }, 180000);
    const QStringList words = out.mid(out.indexOf("playing ")).split(' ');
    if (!seen || words.size() < 4 || words[3].toDouble() <= 0) return -1;
    return float(words[1].toDouble() / words[3].toDouble());
  }

  // The exit status; -1 for a crash or a program that does not end.
  int waitForExit() {
    if (!ombrix->waitForFinished(90000)) {  // past the longest frame delay here
      ombrix->kill();  // our own child, stuck
      ombrix->waitForFinished();
      return -1;
    }
    out += QString::fromUtf8(ombrix->readAllStandardOutput());
    return ombrix->exitStatus() == QProcess::NormalExit ? ombrix->exitCode() : -1;
  }

  float storedRatio() const { return OXLibrary::libraryWithSupportFolder(dir.filePath("data"))->ratioForIMDB(kFilm); }

  QTemporaryDir dir;
  std::unique_ptr<QProcess> ombrix;
  QString out;
};

}  // namespace

TEST_F(OmbrixQuit, TheFrameVariablesQuitDuringAFilmStoringItsPoint) {
  // The film must be playing by the quit: a sanitized build on a busy machine takes up to half a minute to open it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  const QString delay = QStringLiteral("45");
#else
  const QString delay = QStringLiteral("16");
#endif
  start({"OMBRIX_FRAME_PATH=" + dir.filePath("frame.png"), "OMBRIX_FRAME_DELAY=" + delay, "OMBRIX_QUIT_AFTER_FRAME=1"});
  const float playing = waitUntilPlaying();
  ASSERT_GT(playing, 0) << out.toStdString();
  EXPECT_EQ(waitForExit(), 0) << out.toStdString();
  EXPECT_TRUE(out.contains("saved ")) << out.toStdString();
  // Menu's point: where the film was at the quit, the delay after the first frame.
  EXPECT_GE(storedRatio(), playing);
  EXPECT_LT(storedRatio(), 0.9f);
}

TEST_F(OmbrixQuit, SIGTERMDuringAFilmStoresItsPointAndEndsCleanly) {
  start({});
  const float playing = waitUntilPlaying();
  ASSERT_GT(playing, 0) << out.toStdString();
  ::kill(pid_t(ombrix->processId()), SIGTERM);
  EXPECT_EQ(waitForExit(), 0) << out.toStdString();
  EXPECT_GE(storedRatio(), playing);
  EXPECT_LT(storedRatio(), 0.9f);
}

TEST_F(OmbrixQuit, ADisplayThatGoesAwayDuringAFilmEndsItWithItsPointStored) {
  const QString xvfb = QStandardPaths::findExecutable("Xvfb");
  if (xvfb.isEmpty()) GTEST_SKIP() << "no Xvfb (tools/packages.txt installs it)";
  // On the abstract socket alone: killed with its display, the server leaves no socket file in /tmp behind. A stale
  // socket file of another server may already stand there, under the very display number this one takes.
  const QStringList socketsBefore = QDir(QStringLiteral("/tmp/.X11-unix")).entryList(QDir::System);
  std::unique_ptr<QProcess> server;
  ASSERT_TRUE(oxtest::startProcess(
      server, xvfb, {"-displayfd", "1", "-screen", "0", "1280x720x24", "-nolisten", "tcp", "-nolisten", "unix"},
      oxtest::programEnvironment()));
  QString number;
  ASSERT_TRUE(oxtest::spinUntil([&] {
    number += QString::fromLatin1(server->readAllStandardOutput());
    return number.endsWith('\n');
  }, 20000));
  start({}, ":" + number.trimmed());
  const float playing = waitUntilPlaying();
  ASSERT_GT(playing, 0) << out.toStdString();
  server->kill();  // the display goes
  server->waitForFinished();
  EXPECT_EQ(QDir(QStringLiteral("/tmp/.X11-unix")).entryList(QDir::System), socketsBefore);
  EXPECT_EQ(waitForExit(), 0) << out.toStdString();
  EXPECT_GE(storedRatio(), playing);
  EXPECT_LT(storedRatio(), 0.9f);
}

TEST_F(OmbrixQuit, ALogInAnswerWithAMalformedNumberLeavesTheFilmPlayingWithoutSubtitles) {
  oxtest::StandIn& standIn = oxtest::StandIn::shared();
  ASSERT_TRUE(standIn.isRunning());
  for (const char* value : {"<i8>~123</i8>", "<i8>12a</i8>", "<i8>+</i8>", "<ex:i8>99999999999999999999999</ex:i8>"}) {
    SCOPED_TRACE(value);
    standIn.clear();
    ASSERT_TRUE(standIn.answer("opensubtitles", 200,
                               QByteArray("<methodResponse><params><param><value>") + value +
                                   "</value></param></params></methodResponse>",
                               1, "/xml-rpc", "text/xml"));
    out.clear();
    // From the start again, not from the resume panel.
    OXLibrary::libraryWithSupportFolder(dir.filePath("data"))->setRatioForIMDB(0, kFilm);
    start({});
    EXPECT_GT(waitUntilPlaying(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(" with 0 subtitles")) << out.toStdString();
    if (ombrix->state() == QProcess::Running) ::kill(pid_t(ombrix->processId()), SIGTERM);
    EXPECT_EQ(waitForExit(), 0) << out.toStdString();
    EXPECT_TRUE(QString::fromUtf8(ombrix->readAllStandardError()).contains("OpenSubtitles LogIn: malformed"));
    QStringList calls;
    for (const QVariant& r : standIn.requests("opensubtitles"))
      calls << r.toMap().value("rpc").toMap().value("method").toString();
    EXPECT_EQ(calls, QStringList{"LogIn"});
  }
}
