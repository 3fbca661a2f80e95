#pragma once
#include <QAbstractItemModel>
#include <QImage>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <mutex>

#include "core/OXEpisode.h"
#include "core/OXFile.h"
#include "core/OXMovie.h"
#include "core/OXShow.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/StatusItem.h"

namespace helpertest {

// The tray's stand-in: keeps every image it is given, reports the geometry a test chose, and is pressed by hand.
class FakeStatusItem : public ox::StatusItem {
 public:
  explicit FakeStatusItem(double length) : StatusItem(length) { last() = this; }
  ~FakeStatusItem() override {
    if (last() == this) last() = nullptr;
  }
  void setImage(const QImage& image) override { images.push_back(image); }
  QRect geometry() const override { return where; }
  void press() { pressed(); }

  std::vector<QImage> images;
  QRect where;
  // The item made last (the one the program under test holds).
  static FakeStatusItem*& last() {
    static FakeStatusItem* item = nullptr;
    return item;
  }
  // Makes every status item of the process a fake, with `geometry`.
  static void install(QRect geometry = {});
};

// Counts the posts of some notifications, from any thread.
class NotificationCounter {
 public:
  explicit NotificationCounter(const QStringList& names);
  ~NotificationCounter();
  int count(const QString& name) const;

 private:
  mutable std::mutex mutex_;
  QStringList seen_;
  std::vector<ox::NotificationCenter::Token> tokens_;
};

// The environment for a program of ours that a test starts: this process's, and under ThreadSanitizer what every
// test executable has (test_main.cpp), since Qt's and libdbus's own locking is not instrumented and would be reported.
QProcessEnvironment programEnvironment();

// A fresh library, defaults and keychain session for one test: the shared library emptied, no session stored,
// no first-run mark.
void resetHelperState();

// Records as the scan would make them. A file's path is only named: nothing is read from it.
std::shared_ptr<OXFile> fileAt(const QString& path, qint32 type);
std::shared_ptr<OXMovie> movieRecord(const QString& imdb, const QString& title, const QString& path = {});
std::shared_ptr<OXShow> showRecord(quint64 showID, const QString& title);
std::shared_ptr<OXEpisode> episodeRecord(quint64 episodeID, quint64 showID, quint64 season, quint64 episode,
                                         const QString& path);
// The display text of every row of a list's model.
QStringList modelTitles(const QAbstractItemModel& model);
// An empty video file of 5 MiB (sparse), large enough to be sampled for the match reports.
void writeVideoFile(const QString& path);

}  // namespace helpertest
