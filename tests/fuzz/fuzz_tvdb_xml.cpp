// Fuzz target for TheTVDB's XML answers: the bytes go through the XML reader to the episode, series and update
// records as the client's look-ups take them, and an episode on to the search-hit form the scanner files.
#include <QByteArray>

#include "core/OXEpisode.h"
#include "scanner/OXOmbrixOSXAPI.h"
#include "scanner/TVDb.h"
#include "scanner/XMLReader.h"
#include "tests/fuzz/FuzzEntry.h"

OX_FUZZ_ENTRY(tvdb_xml) {
  const QVariant answer =
      XMLReader::dictionaryForXMLData(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
  quint64 touched = 0;
  if (const auto found = TVDbEpisode::initWithDictionary(retrieveForPath(answer, QStringLiteral("Data.Episode")))) {
    const auto episode = OXEpisode::initWithDictionary(OXOmbrixOSXAPI::episodeHit(*found, 70001, 1, 2));
    touched += episode ? episode->description().size() : 0;
    touched += found->writer().size() + found->premiereDate().isValid();
  }
  TVDbShowList shows;
  const QVariant series = retrieveForPath(answer, QStringLiteral("Data.Series"));
  for (const QVariant& item : series.typeId() == QMetaType::QVariantList ? series.toList() : QVariantList{series})
    TVDbShow::buildShowWithDictionary(item, shows);
  if (answer.isValid()) shows << TVDbShow::initWithDictionary(retrieveForPath(answer, QStringLiteral("Data")));
  for (const auto& show : shows) {
    touched += show->title().size() + show->genre().size() + show->premiereDate().isValid();
    for (const auto& episode : show->episodes().value_or(TVDbEpisodeList())) touched += episode->title().size();
  }
  touched += retrieveForPath(answer, QStringLiteral("Items.Time")).toString().size();
  touched += retrieveForPath(answer, QStringLiteral("Items.Series.last")).toString().size();
  (void)touched;
  return 0;
}
