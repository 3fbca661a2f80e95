#include <gtest/gtest.h>

#include "core/OXServiceHosts.h"
#include "platform/foundation/Info.h"

TEST(OXServiceHosts, BaseAddressesAndOverrides) {
  // The test main points every service at a closed loopback port.
  EXPECT_EQ(OXServiceHosts::baseURL(OXService::Search), "http://127.0.0.1:9");
  EXPECT_EQ(OXServiceHosts::environmentVariable(OXService::TVDb), "OMBRIX_TVDB_URL");

  const QByteArray saved = qgetenv("OMBRIX_API_URL");
  qunsetenv("OMBRIX_API_URL");
  ox::registerInfoValues({{OXServiceHosts::infoKey(OXService::API), "api.example.test/"}});
  EXPECT_EQ(OXServiceHosts::baseURL(OXService::API), "https://api.example.test");
  ox::registerInfoValues({{OXServiceHosts::infoKey(OXService::API), "http://127.0.0.1:8081/v//"}});
  EXPECT_EQ(OXServiceHosts::baseURL(OXService::API), "http://127.0.0.1:8081/v");
  qputenv("OMBRIX_API_URL", "127.0.0.1:7000");
  EXPECT_EQ(OXServiceHosts::baseURL(OXService::API), "https://127.0.0.1:7000");
  qputenv("OMBRIX_API_URL", saved);

  // TheTVDB and OpenSubtitles speak plain HTTP when no scheme is given.
  const QByteArray savedTvdb = qgetenv("OMBRIX_TVDB_URL");
  qputenv("OMBRIX_TVDB_URL", "tvdb.example.test");
  EXPECT_EQ(OXServiceHosts::baseURL(OXService::TVDb), "http://tvdb.example.test");
  qputenv("OMBRIX_TVDB_URL", savedTvdb);
}

TEST(OXServiceHosts, Escaping) {
  EXPECT_EQ(OXServiceHosts::escapeComponent(QString::fromUtf8("a b&c=d+e#f%g/h:\u00e9'()*!~-_.")),
            "a%20b%26c%3Dd%2Be%23f%25g%2Fh%3A%C3%A9'()*!~-_.");
  EXPECT_EQ(OXServiceHosts::escapeComponent("a/b:c,d;e", ":/,"), "a/b:c,d%3Be");
  const QUrl kept = OXServiceHosts::urlFromEscapedText("http://127.0.0.1:1/s?q=a+%2B&fq=type:'m'");
  EXPECT_EQ(kept.toEncoded(), "http://127.0.0.1:1/s?q=a+%2B&fq=type:'m'");
  EXPECT_TRUE(OXServiceHosts::urlFromEscapedText("no scheme at all").isEmpty());
  EXPECT_TRUE(OXServiceHosts::urlFromEscapedText("http://[bad/").isEmpty());
}
