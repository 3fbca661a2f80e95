#pragma once
// Shared by the app tests: a library folder of this test process alone, home backdrops of one colour, the chosen
// screen at 1920 x 1080, and a section switcher that records what it was asked.
#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

#include "app/AppControllerDelegate.h"
#include "core/OXLibrary.h"
#include "core/OXPreferencesValues.h"
#include "platform/foundation/Info.h"
#include "tests/support/TestUtil.h"

namespace apptest {

// Application Support for this process: tests run side by side, and the library singleton keeps the first folder.
inline QString supportFolder() {
  static QTemporaryDir dir;  // removed at the process's exit
  [[maybe_unused]] static const bool set = qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
  return dir.path();
}

// Empties a home backdrop folder ("homeMoviesBackdrops", "homeShowsBackdrops") and fills it with `count` JPEG
// pictures of the given colours (cycled), named 0.jpg, 1.jpg, ...
inline QStringList writeBackdrops(const QString& folder, const QList<QColor>& colours, int count,
                                  QSize size = QSize(960, 540)) {
  supportFolder();
  const QString path = OXLibrary::shareLibrary()->pathWithFolder(folder, QString());
  QDir dir(path);
  for (const QString& f : dir.entryList(QDir::Files)) dir.remove(f);
  QStringList written;
  for (int i = 0; i < count; ++i) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(colours[i % colours.size()]);
    const QString file = dir.filePath(QStringLiteral("%1.jpg").arg(i));
    img.save(file, "JPG", 95);
    written << file;
  }
  return written;
}

struct Screen1080 {
  Screen1080() { OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(QRect(0, 0, 1920, 1080)); }
  ~Screen1080() { OXPreferencesValues::sharePreferences()->setScreenGeometryForTesting(std::nullopt); }
};

struct RecordingSwitcher : AppControllerDelegate {
  QStringList calls;
  void openHome(qint32 section) override { calls << QStringLiteral("home %1").arg(section); }
  void openMovies() override { calls << "movies"; }
  void openTVShows() override { calls << "shows"; }
  void openMoviesStreamers() override { calls << "movies streamers"; }
  void openShowsStreamers() override { calls << "shows streamers"; }
  void openTrailers() override { calls << "trailers"; }
};

// The longest stretch the main thread's event loop went without turning, measured by a 5 ms timer while the loop
// runs for `ms`: a call that blocks shows as a gap.
inline qint64 longestLoopStallMs(int ms) {
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0, longest = 0;
  QTimer probe;
  probe.setInterval(5);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    longest = std::max(longest, now - last);
    last = now;
  });
  probe.start();
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  return std::max(longest, clock.elapsed() - last);
}

// Runs the frame tool for `scenes`, saving into `folder`; answers what went wrong, empty when it did its work.
inline QString drawFrames(const QString& folder, const QStringList& scenes) {
  std::unique_ptr<QProcess> tool;
  if (!oxtest::startProcess(tool, QStringLiteral(OX_BINARY_DIR "/tools/ox-frames"), QStringList{folder} + scenes,
                            oxtest::programEnvironment()))
    return QStringLiteral("the frame tool did not start");
  if (!tool->waitForFinished(240000)) return QStringLiteral("the frame tool did not finish");
  if (tool->exitCode() != 0) return QString::fromLocal8Bit(tool->readAllStandardError());
  return {};
}

// Counts pixels of `img` inside `area` (image coordinates) that pass `test`.
template <class Test>
int countPixels(const QImage& img, const QRect& area, Test test) {
  int n = 0;
  const QRect r = area.intersected(img.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (test(QColor(img.pixel(x, y)))) ++n;
  return n;
}

inline bool near(const QColor& a, const QColor& b, int tolerance) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace apptest
