#pragma once
#include <QString>
#include <QByteArrayView>
#include <QUrl>

// Where the online services live. Each service's base address is a program information value (ox::infoValue) that
// one environment variable per service overrides; the value may carry a scheme, a port and a path
// ("http://127.0.0.1:8081"). Without a scheme the service's own is used: https for the vendor's services, http for
// TheTVDB and OpenSubtitles, whose APIs are plain HTTP.
enum class OXService {
  Search,         // cloud search domain
  MovieSearch,    // the separate movie search domain
  Queue,          // cloud message queues
  API,            // cloud REST API
  APIStaging,     // staging host of the cloud REST API
  Bucket,         // content bucket
  TVDb,           // TheTVDB XML API
  OpenSubtitles,  // OpenSubtitles XML-RPC API
  Scrape,         // popular-title lists
  WebSite,        // the maker's web site (help pages)
};

struct OXServiceHosts {
  // Information key and environment variable of a service ("OXSearchHost", "OMBRIX_SEARCH_URL").
  static QString infoKey(OXService service);
  static QString environmentVariable(OXService service);
  // The base address with its scheme and without a trailing slash ("https://search.ombrix.example").
  static QString baseURL(OXService service);
  // The vendor's cloud account number in the queue addresses (information value "OXQueueAccount").
  static QString queueAccount();
  // Escapes text to stand as one query or path value: everything but letters, digits, - _ . ~ ! * ' ( ) and the
  // characters of alsoKeep is percent-escaped as UTF-8 with upper-case digits.
  static QByteArray escapeComponent(const QString& text, QByteArrayView alsoKeep = {});
  // A URL made from already escaped text, kept byte for byte; an empty URL when the text is not a valid URL.
  static QUrl urlFromEscapedText(const QByteArray& text);
};
