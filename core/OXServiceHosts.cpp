#include "core/OXServiceHosts.h"

#include <array>
#include <mutex>

#include "platform/foundation/Info.h"

namespace {

struct ServiceEntry {
  OXService service;
  const char* key;
  const char* variable;
  const char* builtIn;  // the deployment's host
  const char* scheme;
};

constexpr std::array<ServiceEntry, 10> kServices = {{
    {OXService::Search, "OXSearchHost", "OMBRIX_SEARCH_URL", "search.cloud.ombrix.example", "https"},
    {OXService::MovieSearch, "OXMovieSearchHost", "OMBRIX_MOVIE_SEARCH_URL", "movies.search.cloud.ombrix.example",
     "https"},
    {OXService::Queue, "OXQueueHost", "OMBRIX_QUEUE_URL", "queue.cloud.ombrix.example", "https"},
    {OXService::API, "OXAPIHost", "OMBRIX_API_URL", "api.ombrix.example", "https"},
    {OXService::APIStaging, "OXAPIStagingHost", "OMBRIX_API_STAGING_URL", "staging.api.ombrix.example", "https"},
    {OXService::Bucket, "OXBucketHost", "OMBRIX_BUCKET_URL", "content.ombrix.example", "https"},
    {OXService::TVDb, "OXTVDbHost", "OMBRIX_TVDB_URL", "thetvdb.com", "http"},
    {OXService::OpenSubtitles, "OXOpenSubtitlesHost", "OMBRIX_OPENSUBTITLES_URL", "api.opensubtitles.org", "http"},
    {OXService::Scrape, "OXScrapeHost", "OMBRIX_SCRAPE_URL", "lists.ombrix.example", "http"},
    {OXService::WebSite, "OXWebSiteHost", "OMBRIX_WEBSITE_URL", "www.ombrix.example", "http"},
}};

const ServiceEntry& entry(OXService service) {
  for (const ServiceEntry& e : kServices)
    if (e.service == service) return e;
  return kServices.front();
}

// The environment overrides are registered once, on first use.
void registerOverrides() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const ServiceEntry& e : kServices)
      ox::registerInfoEnvironmentOverride(QString::fromLatin1(e.key), QString::fromLatin1(e.variable));
  });
}

}  // namespace

QString OXServiceHosts::infoKey(OXService service) { return QString::fromLatin1(entry(service).key); }

QString OXServiceHosts::environmentVariable(OXService service) {
  return QString::fromLatin1(entry(service).variable);
}

QString OXServiceHosts::baseURL(OXService service) {
  registerOverrides();
  const ServiceEntry& e = entry(service);
  QString base = ox::infoValue(QString::fromLatin1(e.key)).toString().trimmed();
  if (base.isEmpty()) base = QString::fromLatin1(e.builtIn);
  if (!base.contains(QLatin1String("://"))) base = QString::fromLatin1(e.scheme) + QLatin1String("://") + base;
  while (base.endsWith(QLatin1Char('/'))) base.chop(1);
  return base;
}

QString OXServiceHosts::queueAccount() {
  const QString account = ox::infoValue(QStringLiteral("OXQueueAccount")).toString();
  return account.isEmpty() ? QStringLiteral("482913650217") : account;
}

QByteArray OXServiceHosts::escapeComponent(const QString& text, QByteArrayView alsoKeep) {
  static const char kHex[] = "0123456789ABCDEF";
  QByteArray out;
  for (const char c : text.toUtf8()) {
    const auto b = static_cast<unsigned char>(c);
    const bool keep = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
                      QByteArrayView("-_.~!*'()").contains(c) || alsoKeep.contains(c);
    if (keep) {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

QUrl OXServiceHosts::urlFromEscapedText(const QByteArray& text) {
  QUrl url = QUrl::fromEncoded(text, QUrl::StrictMode);
  if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) return {};
  return url;
}
