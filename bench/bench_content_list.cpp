// The panel's content list on a large library: 10,000 movies and 2,000 shows (ten episodes each), on the offscreen
// platform. The panel is opened on the movie tab, scrolled end to end a page at a time, switched to the show tab
// and scrolled again; then, back on the movie tab, 1,000 movies are reported from an engine thread as a scan would,
// each going to its place live. Prints one line:
//   rows=<rows of both tabs> open_ms=<open to first painted list> step_ms_max=<slowest page step, painted>
//   insert_ms_per_row=<wall time of the live insertions / 1,000> widgets_alive=<most row widgets held at once>
// Opening and steps are the main thread's CPU time, which a busy machine does not inflate; the insertions are wall
// time, as they pass between the engine's thread and the main thread. Posters point at a closed loopback port, so
// their loads fail at once off the main thread.
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <thread>

#include "core/OXLibrary.h"
#include "helper/OXContentListViewController.h"
#include "platform/ui/TableView.h"

namespace {

constexpr int kMovies = 10000;
constexpr int kShows = 2000;
constexpr int kEpisodesPerShow = 10;
constexpr int kInserted = 1000;

const char* const kWords[] = {"Amber", "Brass",  "Cedar",  "Dune",   "Ember", "Fable", "Glass",  "Harbour", "Iron",
                              "Jade",  "Kettle", "Lantern", "Marrow", "North", "Onyx",  "Pillar", "Quiet",   "Raven",
                              "Salt",  "Tide",   "Umber",  "Velvet", "Willow", "Xenon", "Yarrow", "Zephyr",  "1984",
                              "élan",  "after",  "blue"};
constexpr int kWordCount = int(sizeof(kWords) / sizeof(kWords[0]));

QString title(int i) {
  return QStringLiteral("%1 %2 %3").arg(QString::fromUtf8(kWords[(i * 7) % kWordCount]),
                                        QString::fromUtf8(kWords[(i * 13 + 5) % kWordCount]), QString::number(i));
}

std::shared_ptr<OXMovie> movie(int i) {
  const QString imdb = QStringLiteral("tt%1").arg(i, 7, 10, QLatin1Char('0'));
  auto m = OXMovie::initWithDictionary(
      {{"id", imdb},
       {"fields", QVariantMap{{"title", title(i)},
                              {"imdb", imdb},
                              {"poster", QStringLiteral("http://127.0.0.1:9/posters/%1.jpg").arg(i)}}}});
  auto file = OXFile::initWithType(OXFile::kTypeMovie);
  file->setFilePath(QStringLiteral("/srv/media/Movies/%1.mkv").arg(title(i)));
  m->setFile(file);
  return m;
}

std::shared_ptr<OXShow> show(int i) {
  return OXShow::initWithDictionary(
      {{"id", QStringLiteral("s_%1").arg(70000 + i)},
       {"fields", QVariantMap{{"title", title(i)},
                              {"showid", QString::number(70000 + i)},
                              {"poster", QStringLiteral("http://127.0.0.1:9/shows/%1.jpg").arg(i)}}}});
}

std::shared_ptr<OXEpisode> episode(int show, int number) {
  auto e = OXEpisode::initWithDictionary(
      {{"id", QStringLiteral("e_%1").arg(show * 100 + number)},
       {"fields", QVariantMap{{"showid", QString::number(70000 + show)}, {"season", "1"},
                              {"episode", QString::number(number + 1)}}}});
  auto file = OXFile::initWithType(OXFile::kTypeEpisode);
  file->setFilePath(QStringLiteral("/srv/media/Shows/%1/S01E%2.mkv").arg(show).arg(number + 1));
  e->setFile(file);
  return e;
}

// The calling thread's CPU time, in milliseconds.
double threadMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

void settle() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

struct Run {
  OXContentListViewController& list;
  double stepMax = 0;
  int widgetsMax = 0;

  int widgetsAlive() const {
    return int(list.contentTableView()->viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size());
  }
  void note() { widgetsMax = std::max(widgetsMax, widgetsAlive()); }

  // One page at a time from the top to the bottom, each step painted before the next.
  void scrollEndToEnd() {
    QScrollBar* bar = list.contentTableView()->verticalScrollBar();
    bar->setValue(0);
    settle();
    while (bar->value() < bar->maximum()) {
      const double start = threadMs();
      bar->setValue(bar->value() + bar->pageStep());
      list.contentTableView()->viewport()->repaint();
      QCoreApplication::processEvents();
      stepMax = std::max(stepMax, threadMs() - start);
      note();
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir home;
  for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
    qputenv(name, home.filePath(QString::fromLatin1(name)).toLocal8Bit());
  QApplication app(argc, argv);

  OXLibrary* library = OXLibrary::shareLibrary();
  for (int i = 0; i < kMovies; ++i) library->addContent(movie(i));
  for (int i = 0; i < kShows; ++i) {
    library->addContent(show(i));
    for (int n = 0; n < kEpisodesPerShow; ++n) library->addContent(episode(i, n));
  }

  OXContentListViewController list;
  list.view()->show();
  Run run{list};

  const double open = threadMs();
  list.setPopUpState(1);
  settle();
  list.contentTableView()->viewport()->repaint();
  const double openMs = threadMs() - open;
  int rows = list.rowCount();
  run.note();

  run.scrollEndToEnd();
  list.showButton()->click();
  settle();
  rows += list.rowCount();
  run.scrollEndToEnd();
  list.movieButton()->click();
  settle();

  // Reported as the engine does, from a thread of its own, while the list shows its middle.
  list.contentTableView()->verticalScrollBar()->setValue(list.contentTableView()->verticalScrollBar()->maximum() / 2);
  settle();
  const int before = list.rowCount();
  QElapsedTimer insert;
  insert.start();
  std::thread engine([&] {
    for (int i = 0; i < kInserted; ++i) {
      auto m = movie(kMovies + i);
      library->addContent(m);
      list.contentAdded(m);
    }
  });
  while (list.isSyncing() || list.rowCount() < before + kInserted) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    run.note();
  }
  engine.join();
  const double insertMsPerRow = double(insert.elapsed()) / kInserted;
  run.note();

  std::printf("rows=%d open_ms=%.1f step_ms_max=%.1f insert_ms_per_row=%.2f widgets_alive=%d\n", rows, openMs,
              run.stepMax, insertMsPerRow, run.widgetsMax);
  return 0;
}
