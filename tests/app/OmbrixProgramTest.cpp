#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "platform/foundation/HttpClient.h"
#include "platform/system/Workspace.h"
#include "tests/app/AppTestUtil.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

using apptest::countPixels;

namespace {

struct ProgramRun {
  int exitCode = -1;
  QString out;
};

// The `ombrix` program, headless on a 1920 x 1080 offscreen screen, on a library folder of its own, with a fake
// helper program that notes each start, and bus names of this test alone.
class OmbrixProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QFile screen(dir.filePath("screen.json"));
    ASSERT_TRUE(screen.open(QIODevice::WriteOnly));
    screen.write(R"({"screens":[{"name":"Test","x":0,"y":0,"width":1920,"height":1080,"logicalDpi":96,)"
                 R"("logicalBaseDpi":96,"dpr":1}]})");
    screen.close();
    QFile helper(helperPath);
    ASSERT_TRUE(helper.open(QIODevice::WriteOnly));
    helper.write(QStringLiteral("#!/bin/sh\necho started >> '%1'\n").arg(dir.filePath("helper-starts")).toUtf8());
    helper.close();
    helper.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The library as the helper leaves it: the home backdrops of the stand-in's content bucket.
    oxtest::StandIn& standIn = oxtest::StandIn::shared();
    ASSERT_TRUE(standIn.isRunning());
    const QString folder = dir.filePath("data/Ombrix/homeMoviesBackdrops");
    QDir().mkpath(folder);
    const ox::HttpResponse list = ox::httpGet(QUrl(standIn.baseUrl("bucket") + "/homeBackdropsMovies.txt"));
    ASSERT_TRUE(list.isSuccess());
    const QString first = QString::fromUtf8(list.body.split(',').first()).replace("/original/", "/w1920/");
    const ox::HttpResponse picture = ox::httpGet(QUrl(first));
    ASSERT_TRUE(picture.isSuccess());
    QFile jpg(QDir(folder).filePath(QUrl(first).fileName()));
    ASSERT_TRUE(jpg.open(QIODevice::WriteOnly));
    jpg.write(picture.body);
    jpg.close();
    backdrop = QImage(jpg.fileName());
    ASSERT_FALSE(backdrop.isNull());
  }

  ProgramRun run(const QStringList& extra) {
    QProcess p;
    QProcessEnvironment env = oxtest::programEnvironment();
    const QString pid = QString::number(QCoreApplication::applicationPid());
    const QStringList vars = {"QT_QPA_PLATFORM=offscreen:configfile=" + dir.filePath("screen.json"),
                              "XDG_DATA_HOME=" + dir.filePath("data"),
                              "XDG_CONFIG_HOME=" + dir.filePath("config"),
                              "OMBRIX_BUNDLE_IDENTIFIER=" + ombrixName,
                              "OMBRIX_HELPER_BUNDLE_IDENTIFIER=" + helperName,
                              "OMBRIX_HELPER_PATH=" + helperPath,
                              "OMBRIX_KILLALL=/nonexistent/killall",
                              "OMBRIX_FEED_URL=http://127.0.0.1:9/appcast.xml",
                              "OMBRIX_QUIT_AFTER_FRAME=1"};
    for (const QString& v : vars + extra) env.insert(v.section('=', 0, 0), v.section('=', 1));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(OX_BINARY_DIR "/bin/ombrix"), {});
    ProgramRun r;
    if (!p.waitForFinished(60000)) {
      p.kill();  // our own child, stuck
      p.waitForFinished();
      return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    return r;
  }
  int helperStarts() const {
    QFile f(dir.filePath("helper-starts"));
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
  }

  QTemporaryDir dir;
  const QString helperPath = dir.filePath("ombrix-helper");
  const QString ombrixName = QStringLiteral("Varnel.Test%1.Ombrix").arg(QCoreApplication::applicationPid());
  QImage backdrop;
  const QString helperName = QStringLiteral("Varnel.Test%1.OmbrixHelper").arg(QCoreApplication::applicationPid());
};

}  // namespace

TEST_F(OmbrixProgramTest, StartsHeadlessOnHomeSavesItsFirstFrameAndLaunchesTheHelperOnce) {
  const QString png = QStringLiteral(OX_BINARY_DIR "/frames/ombrix_home.png");
  QFile::remove(png);
  const ProgramRun r = run({"OMBRIX_FRAME_PATH=" + png, "OMBRIX_FRAME_DELAY=0.6"});
  ASSERT_EQ(r.exitCode, 0) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains("first frame after")) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains("saved ")) << r.out.toStdString();
  const QImage frame(png);
  ASSERT_EQ(frame.size(), QSize(1920, 1080));
  // The backdrop's middle row (the slideshow's zoom and pan move it by a little), hardly darkened by the vignette.
  const QColor middle(backdrop.pixel(backdrop.width() * 3 / 4, backdrop.height() / 2));
  EXPECT_TRUE(apptest::near(QColor(frame.pixel(1400, 540)), middle, 30)) << middle.name().toStdString();
  const auto white = [](const QColor& c) { return c.red() > 235 && c.green() > 235 && c.blue() > 235; };
  EXPECT_GT(countPixels(frame, QRect(40, 216, 600, 98), white), 800);  // "Trailers"
  EXPECT_GT(countPixels(frame, QRect(40, 316, 600, 96), [](const QColor& c) { return c.red() > 110; }), 300);
  ASSERT_TRUE(oxtest::spinUntil([&] { return helperStarts() > 0; }, 5000));
  EXPECT_EQ(helperStarts(), 1);
}

TEST_F(OmbrixProgramTest, LeavesARunningHelperAloneAndASecondOmbrixLeavesAtOnce) {
  if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus (tools/test.sh opens one)";
  QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "program-test-other");
  ASSERT_TRUE(other.registerService(helperName));
  const ProgramRun withHelper = run({});
  EXPECT_EQ(withHelper.exitCode, 0);
  EXPECT_TRUE(withHelper.out.contains("first frame after"));
  oxtest::spinFor(200);
  EXPECT_EQ(helperStarts(), 0);

  ASSERT_TRUE(other.registerService(ombrixName));  // "Ombrix is running"
  const ProgramRun second = run({});
  EXPECT_EQ(second.exitCode, 0);
  EXPECT_FALSE(second.out.contains("first frame")) << second.out.toStdString();
  other.unregisterService(helperName);
  other.unregisterService(ombrixName);
  QDBusConnection::disconnectFromBus("program-test-other");
  // The connection goes at a later turn of the event loop.
  EXPECT_TRUE(oxtest::spinUntil([&] { return !ox::Workspace::shared().isApplicationRunning(helperName); }));
}
