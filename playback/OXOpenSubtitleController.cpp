#include "playback/OXOpenSubtitleController.h"

#include <QUrl>
#include <algorithm>

#include "core/OXEpisode.h"
#include "core/OXLibrary.h"
#include "core/OXMovie.h"
#include "core/OXServiceHosts.h"
#include "core/OXTools.h"
#include "platform/foundation/Log.h"

namespace {

struct Language {
  const char* name;
  const char* code;
};

constexpr Language kLanguages[] = {
    {"Arabic", "ara"},     {"Bosnian", "bos"},    {"Brazilian", "pob"},  {"Bulgarian", "bul"}, {"Chinese", "chi"},
    {"Croatian", "hrv"},   {"Czech", "cze"},      {"Danish", "dan"},     {"Dutch", "dut"},     {"English", "eng"},
    {"Estonian", "est"},   {"Finnish", "fin"},    {"French", "fre"},     {"German", "ger"},    {"Greek", "ell"},
    {"Hebrew", "heb"},     {"Hungarian", "hun"},  {"Indonesian", "ind"}, {"Italian", "ita"},   {"Japanese", "jpn"},
    {"Korean", "kor"},     {"Norwegian", "nor"},  {"Polish", "pol"},     {"Portuguese", "por"}, {"Romanian", "rum"},
    {"Russian", "rus"},    {"Serbian", "scc"},    {"Slovak", "slo"},     {"Slovenian", "slv"}, {"Spanish", "spa"},
    {"Swedish", "swe"},    {"Thai", "tha"},       {"Turkish", "tur"},
};

QUrl endpoint() { return QUrl(OXServiceHosts::baseURL(OXService::OpenSubtitles) + QStringLiteral("/xml-rpc")); }

// What the service can find subtitles by; season and episode numbers only narrow a query.
bool hasCriterion(const QVariantMap& search) {
  const auto filled = [&](const char* key) { return !search.value(QLatin1String(key)).toString().isEmpty(); };
  return (filled("moviehash") && filled("moviebytesize")) || filled("imdbid") || filled("query");
}

}  // namespace

QString OXOpenSubtitleController::languageCode(const QString& languageName) {
  for (const Language& l : kLanguages)
    if (languageName == QLatin1String(l.name)) return QString::fromLatin1(l.code);
  return {};
}

QString OXOpenSubtitleController::userAgent() { return QStringLiteral("Movrel 2.4"); }

OXOpenSubtitleController::OXOpenSubtitleController() : request_(endpoint()) {}

OXOpenSubtitleController::~OXOpenSubtitleController() = default;

bool OXOpenSubtitleController::call(const QString& method, const QVariantList& params, QVariant* answer,
                                    QString* error) const {
  QString why;
  const bool ok = request_.call(method, params, answer, &why);
  if (!ok) ox::log(QStringLiteral("OpenSubtitles %1: %2").arg(method, why));
  if (error) *error = why;
  return ok;
}

std::shared_ptr<OXOpenSubtitleController> OXOpenSubtitleController::init() {
  std::shared_ptr<OXOpenSubtitleController> c(new OXOpenSubtitleController);
  QVariant answer;
  if (!c->call(QStringLiteral("LogIn"), {QString(), QString(), QStringLiteral("spa"), userAgent()}, &answer))
    return nullptr;
  // Without a token every search would be refused: no session, no controller.
  c->token_ = answer.toMap().value(QStringLiteral("token")).toString();
  if (c->token_.isEmpty()) {
    ox::log(QStringLiteral("OpenSubtitles LogIn gave no token: %1")
                .arg(answer.toMap().value(QStringLiteral("status")).toString()));
    return nullptr;
  }
  return c;
}

void OXOpenSubtitleController::close() {
  if (token_.isEmpty() || loggedOut_) return;
  loggedOut_ = true;
  request_ = OXXmlRpcClient(endpoint());
  QVariant answer;
  QString error;
  if (call(QStringLiteral("LogOut"), {token_}, &answer, &error))
    ox::log(QStringLiteral("LogOut: %1").arg(answer.toMap().value(QStringLiteral("status")).toString()));
  else
    ox::log(QStringLiteral("Error LogOut: %1").arg(error));
}

QVariantMap OXOpenSubtitleController::searchFor(const ox::CodingPtr& content) {
  QVariantMap search;
  if (auto movie = std::dynamic_pointer_cast<OXMovie>(content)) {
    if (auto file = movie->file()) {
      const QString hash = file->os();
      // The hash of a file that could not be read is no hash.
      if (file->isValidFilePath()) search.insert(QStringLiteral("moviehash"), hash);
      if (!file->sizeStr().isEmpty()) search.insert(QStringLiteral("moviebytesize"), file->sizeStr());
    }
    if (!movie->imdb().isEmpty()) search.insert(QStringLiteral("imdbid"), movie->imdb());
  } else if (auto episode = std::dynamic_pointer_cast<OXEpisode>(content)) {
    search.insert(QStringLiteral("episode"), episode->episodeNumber());
    search.insert(QStringLiteral("season"), episode->seasonNumber());
    auto file = episode->file();
    const QString hash = file ? file->os() : QString();
    if (file && file->isValidFilePath() && !file->sizeStr().isEmpty()) {
      search.insert(QStringLiteral("moviehash"), hash);
      search.insert(QStringLiteral("moviebytesize"), file->sizeStr());
      search.insert(QStringLiteral("query"), file->fulltext());
    } else {
      // A streamed episode: its name travels in the first link's "&dn=" part; no link, no query.
      const QStringList links = episode->links();
      const QString name = links.isEmpty() ? QString() : textBetween(links.first(), QStringLiteral("&dn="),
                                                                     QStringLiteral("&tr"));
      if (!name.isEmpty()) search.insert(QStringLiteral("query"), name);
    }
  }
  return search;
}

QVariantList OXOpenSubtitleController::searchAllSubtitleForContent(const ox::CodingPtr& content) {
  QVariantMap search = searchFor(content);
  if (search.isEmpty()) return {};
  QVariantList found = searchAllSubtitleForParameters(search);
  if (!found.isEmpty()) return found;
  QVariantMap looser = search;
  looser.remove(QStringLiteral("moviehash"));
  looser.remove(QStringLiteral("moviebytesize"));
  if (looser != search) found = searchAllSubtitleForParameters(looser);
  if (!found.isEmpty()) return found;
  std::shared_ptr<OXFile> file;
  if (auto movie = std::dynamic_pointer_cast<OXMovie>(content)) file = movie->file();
  if (auto episode = std::dynamic_pointer_cast<OXEpisode>(content)) file = episode->file();
  if (file && file->type() == OXFile::kTypeMovie) return found;
  QVariantMap loosest = looser;
  loosest.remove(QStringLiteral("imdbid"));
  if (loosest != looser) found = searchAllSubtitleForParameters(loosest);
  return found;
}

QVariantList OXOpenSubtitleController::searchAllSubtitleForParameters(const QVariantMap& parameters) {
  if (!hasCriterion(parameters)) {
    ox::log(QStringLiteral("OpenSubtitles: nothing to search by"));
    return {};
  }
  QVariantMap search = parameters;
  QStringList codes;
  for (const QVariant& entry : OXLibrary::shareLibrary()->subtitleLanguages()) {
    const QVariantMap language = entry.toMap();
    if (!language.value(QStringLiteral("enable")).toBool()) continue;
    const QString code = languageCode(language.value(QStringLiteral("LanguageName")).toString());
    if (code.isEmpty()) continue;  // a name the service would not know
    codes << code;
  }
  search.insert(QStringLiteral("sublanguageid"), codes.join(QLatin1Char(',')));
  QVariant answer;
  if (!call(QStringLiteral("SearchSubtitles"), {token_, QVariantList{search}}, &answer)) return {};
  const QVariant data = answer.toMap().value(QStringLiteral("data"));
  if (data.metaType().id() != QMetaType::QVariantList) return {};
  QVariantList results;
  QStringList languages;
  for (const QVariant& hit : data.toList()) {
    const QVariantMap h = hit.toMap();
    const QString name = h.value(QStringLiteral("LanguageName")).toString();
    if (languages.contains(name)) continue;
    languages << name;
    results << QVariantMap{{QStringLiteral("LanguageName"), h.value(QStringLiteral("LanguageName"))},
                           {QStringLiteral("ZipDownloadLink"), h.value(QStringLiteral("ZipDownloadLink"))}};
  }
  std::stable_sort(results.begin(), results.end(), [](const QVariant& a, const QVariant& b) {
    return a.toMap().value(QStringLiteral("LanguageName")).toString().compare(
               b.toMap().value(QStringLiteral("LanguageName")).toString(), Qt::CaseInsensitive) < 0;
  });
  return results;
}

QVariantMap OXOpenSubtitleController::findContentByHash(const QStringList& hashes) {
  QVariant answer;
  if (!call(QStringLiteral("CheckMovieHash"), {token_, QVariant(hashes)}, &answer)) return {};
  const QVariant data = answer.toMap().value(QStringLiteral("data"));
  if (data.metaType().id() != QMetaType::QVariantMap) return {};
  return data.toMap();
}

QVariantMap OXOpenSubtitleController::getInfoForEpisode(const QVariantMap& parameters) {
  if (!parameters.contains(QStringLiteral("moviehash")) || !parameters.contains(QStringLiteral("moviebytesize")))
    return {};
  const QVariantMap search{{QStringLiteral("moviebytesize"), parameters.value(QStringLiteral("moviebytesize"))},
                           {QStringLiteral("moviehash"), parameters.value(QStringLiteral("moviehash"))},
                           {QStringLiteral("sublanguageid"), QStringLiteral("spa")}};
  QVariant answer;
  if (!call(QStringLiteral("SearchSubtitles"), {token_, QVariantList{search}}, &answer)) return {};
  const QVariantList data = answer.toMap().value(QStringLiteral("data")).toList();
  return data.isEmpty() ? QVariantMap() : data.first().toMap();
}

QVariantList OXOpenSubtitleController::findContentsByParameters(const QVariant& parameters) {
  QVariant answer;
  if (!call(QStringLiteral("SearchSubtitles"), {token_, parameters}, &answer)) return {};
  const QVariant data = answer.toMap().value(QStringLiteral("data"));
  return data.metaType().id() == QMetaType::QVariantList ? data.toList() : QVariantList();
}

QString OXOpenSubtitleController::showIMDBForContent(const QVariantMap&) {
  // Show records carry no IMDb code, so no show of the library has one to give.
  return {};
}
