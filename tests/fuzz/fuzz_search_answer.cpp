// Fuzz target for the cloud search's JSON answers: the hits become ranked movie and show records and an episode
// record, as the identification takes them.
#include <QByteArray>

#include "core/OXEpisode.h"
#include "core/OXMovie.h"
#include "core/OXShow.h"
#include "platform/foundation/Json.h"
#include "scanner/OXOmbrixOSXAPI.h"
#include "tests/fuzz/FuzzEntry.h"

OX_FUZZ_ENTRY(search_answer) {
  const QVariant answer =
      ox::jsonObject(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
  const auto hits = OXOmbrixOSXAPI::checkIntegrityResultAndGetHits(answer);
  if (!hits) return 0;
  OXOmbrixOSXAPI::MovieList movies;
  OXOmbrixOSXAPI::ShowList shows;
  quint64 touched = 0;
  for (const QVariant& hit : *hits) {
    if (auto movie = OXMovie::initWithDictionary(hit.toMap())) movies << movie;
    if (auto show = OXShow::initWithDictionary(hit.toMap())) shows << show;
    if (auto episode = OXEpisode::initWithDictionary(hit.toMap())) touched += episode->description().size();
  }
  for (const auto& movie : OXOmbrixOSXAPI::sortMovieContents(movies))
    touched += movie->description().size() + movie->genres().size() + movie->poster().toString().size();
  for (const auto& show : OXOmbrixOSXAPI::sortShowContents(shows)) touched += show->description().size();
  (void)touched;
  return 0;
}
