// Fuzz target for the library store's files: the bytes stand as "library.bin" and "ratios.bin" of a fresh store,
// which loads them as the programs do (damage goes aside, the store starts empty), and what it took in is read as the
// programs read it, the movie list archived again as the library server sends it.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/OXEpisode.h"
#include "core/OXLibrary.h"
#include "core/OXMovie.h"
#include "core/OXRootList.h"
#include "core/OXShow.h"
#include "platform/foundation/KeyedArchiver.h"
#include "tests/fuzz/FuzzEntry.h"

namespace {

quint64 readFile(const std::shared_ptr<OXFile>& file) {
  return file ? quint64(file->filePath().size() + file->fulltext().size()) + file->parseYear() : 0;
}

}  // namespace

OX_FUZZ_ENTRY(library_store) {
  const QTemporaryDir support;
  if (!support.isValid() || !QDir().mkpath(support.filePath(QStringLiteral("Ombrix")))) return 0;
  for (const char* name : {"Ombrix/library.bin", "Ombrix/ratios.bin"}) {
    QFile file(support.filePath(QLatin1String(name)));
    if (!file.open(QIODevice::WriteOnly)) return 0;
    file.write(reinterpret_cast<const char*>(data), qint64(size));
  }
  const auto library = OXLibrary::libraryWithSupportFolder(support.path());
  quint64 touched = library->rootList()->moviePaths().size() + library->rootList()->episodePaths().size();
  QVariantList movies;
  for (const auto& movie : library->movieList()) {
    touched += movie->description().size() + movie->links().size() + readFile(movie->file());
    touched += library->ratioForIMDB(movie->imdb()) > 0.5f;
    movies << ox::wrapCoding(movie);
  }
  for (const auto& show : library->showList()) touched += show->description().size();
  for (const auto& episode : library->episodeList()) {
    touched += episode->description().size() + readFile(episode->file());
    touched += library->ratioForEpisodeID(episode->episodeID()) > 0.5f;
  }
  for (const auto& file : library->unknownMovieList() + library->unknownEpisodeList()) touched += readFile(file);
  for (const auto& show : library->cacheShow()) touched += show ? show->description().size() : 0;
  touched += library->subtitleLanguages().size() + library->ratioList().size();
  touched += ox::archivedDataWithRootObject(movies, QStringLiteral("movieList")).size();
  (void)touched;
  return 0;
}
