#pragma once
// Records and stores for the library tests.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QVariantMap>

#include "core/OXLibrary.h"

namespace libtest {

inline std::shared_ptr<OXFile> file(qint32 type, const QString& path) {
  auto f = OXFile::initWithType(type);
  f->setFilePath(path);
  return f;
}

inline std::shared_ptr<OXMovie> movie(const QString& imdb, const QString& path, const QString& title = "Quiet Orchard") {
  auto m = OXMovie::initWithDictionary(
      {{"id", imdb},
       {"fields", QVariantMap{{"title", title}, {"year", "1998"}, {"rating", 7.5}, {"genre", QVariantList{"Drama"}},
                              {"poster", "https://img.example/t/p/original/orchard.jpg"}}}});
  if (!path.isEmpty()) m->setFile(file(OXFile::kTypeMovie, path));
  return m;
}

inline std::shared_ptr<OXShow> show(quint64 id, const QString& title = "Salt Roads") {
  return OXShow::initWithDictionary({{"id", QStringLiteral("s_%1").arg(id)}, {"fields", QVariantMap{{"title", title}}}});
}

inline std::shared_ptr<OXEpisode> episode(quint64 id, quint64 showID, const QString& path) {
  auto e = OXEpisode::initWithDictionary(
      {{"id", QStringLiteral("e_%1").arg(id)},
       {"fields", QVariantMap{{"title", QStringLiteral("Episode %1").arg(id)}, {"showid", showID}, {"season", 1},
                              {"episode", id}}}});
  if (!path.isEmpty()) e->setFile(file(OXFile::kTypeEpisode, path));
  return e;
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace libtest
