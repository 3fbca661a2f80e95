#pragma once
// The movie browser on a library of the test's own: movies whose posters and backdrops the helper has cached, a
// loopback bucket for those it has not, a 1920 x 1080 screen, manual delays and a renderer at a chosen instant.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/MoviesView.h"
#include "app/OXMainInterface.h"
#include "platform/foundation/DelayedCall.h"
#include "platform/layers/LayerClock.h"
#include "platform/layers/Renderer.h"
#include "platform/layers/Transaction.h"
#include "platform/media/VLCLibrary.h"
#include "tests/app/AppTestUtil.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestUtil.h"

namespace apptest {

const QColor kBackdrop(30, 90, 170);

class MoviesViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::supportFolder();
    OXMainInterface::registerInfoValues();
    ox::VLCLibrary::setExtraArguments({QStringLiteral("--aout=adummy")});
    ox::DelayedCall::useManualTime(true);
    library()->setListenSoundtracks(false);
  }
  void TearDown() override {
    for (const auto& m : added) library()->removeContent(m);
    library()->setListenSoundtracks(true);
    ox::DelayedCall::useManualTime(false);
  }
  static OXLibrary* library() { return OXLibrary::shareLibrary(); }

  static void writePicture(const QString& folder, const QString& name, const QColor& colour, QSize size) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    img.save(QDir(library()->pathWithFolder(folder, QString())).filePath(name));
  }

  // A movie of the library whose poster (and backdrop) the helper has cached; its file exists unless `missing`.
  std::shared_ptr<OXMovie> addMovie(const QString& imdb, const QString& title, const QColor& poster,
                                    QVariantMap fields = {}, bool missing = false) {
    const QString posterName = "poster_" + imdb + ".png", backdropName = "backdrop_" + imdb + ".png";
    if (poster.isValid()) writePicture("posters", posterName, poster, QSize(500, 740));
    writePicture("backdrops", backdropName, kBackdrop, QSize(960, 540));
    fields.insert("title", title);
    fields.insert("poster", bucket.url("/images/original/" + posterName).toString());
    fields.insert("image", bucket.url("/images/original/" + backdropName).toString());
    fields.insert("soundtrack", bucket.url("/previews/" + imdb + ".wav").toString());
    auto movie = OXMovie::initWithDictionary({{"id", imdb}, {"fields", fields}});
    auto file = OXFile::initWithType(OXFile::kTypeMovie);
    file->setFilePath(files.filePath(imdb + ".mkv"));
    if (!missing) {
      QFile f(file->filePath());
      f.open(QIODevice::WriteOnly);
    }
    movie->setFile(file);
    library()->addContent(movie);
    added << movie;
    return movie;
  }

  template <class View = MoviesView>
  std::shared_ptr<View> makeView() {
    auto view = std::make_shared<View>(OXPreferencesValues::sharePreferences()->mainScreenFrame());
    view->setupLayers();
    view->setDelegate(switcher);
    ox::Transaction::flush();
    // Every poster composed and shown (the last hand-over comes through the main queue).
    EXPECT_TRUE(oxtest::spinUntil([&] { return view->pendingPosters() == 0; }, 30000));
    oxtest::spinFor(50);
    ox::Transaction::flush();
    return view;
  }
  // Everything that was set moving has arrived.
  void settle(double seconds = 1.0) {
    ox::DelayedCall::advanceManualTime(seconds);
    ox::Transaction::flush();
    clock.advance(seconds);
    ox::Transaction::flush();
  }
  QImage render(const std::shared_ptr<MoviesView>& view, double t) {
    return renderer.renderToImage(view->layer(), QSize(1920, 1080), t, Qt::black);
  }
  static void saveFrame(const QImage& img, const QString& name) {
    QDir().mkpath(OX_BINARY_DIR "/frames");
    EXPECT_TRUE(img.save(QStringLiteral(OX_BINARY_DIR "/frames/") + name));
  }

  apptest::Screen1080 screen;
  ox::ManualClock clock{100};
  oxtest::LoopbackServer bucket;
  QTemporaryDir files;
  QList<std::shared_ptr<OXMovie>> added;
  std::shared_ptr<apptest::RecordingSwitcher> switcher = std::make_shared<apptest::RecordingSwitcher>();
  ox::Renderer renderer;
};

}  // namespace apptest
