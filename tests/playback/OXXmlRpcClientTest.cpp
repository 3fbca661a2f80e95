// The XML-RPC answer reader: what the subtitle service writes, and what anyone on the way may send instead; and the
// calls as the service reads them.
#include "playback/OXXmlRpcClient.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include "tests/support/StandIn.h"

namespace {

QByteArray answer(const QByteArray& value) {
  return "<?xml version='1.0'?>\n<methodResponse>\n<params>\n<param>\n<value>" + value +
         "</value>\n</param>\n</params>\n</methodResponse>\n";
}

QByteArray nested(int depth) {
  return answer(QByteArray("<array><data><value>").repeated(depth) + "<int>1</int>" +
                QByteArray("</value></data></array>").repeated(depth));
}

QByteArray fault(const QByteArray& members) {
  return "<?xml version='1.0'?>\n<methodResponse>\n<fault>\n<value><struct>\n" + members +
         "</struct></value>\n</fault>\n</methodResponse>\n";
}

}  // namespace

TEST(XmlRpcAnswers, WhatThePythonServiceWritesDecodesToItsTypes) {
  // As the service's xml-rpc server writes a search answer, with every type it may send.
  const QByteArray search = answer(
      "<struct>\n<member>\n<name>status</name>\n<value><string>200 OK</string></value>\n</member>\n<member>\n"
      "<name>data</name>\n<value><array><data>\n<value><struct>\n<member>\n<name>LanguageName</name>\n<value><string>"
      "English</string></value>\n</member>\n<member>\n<name>ZipDownloadLink</name>\n<value><string>http://x/a.zip?a=1"
      "&amp;b=&lt;2&gt;</string></value>\n</member>\n</struct></value>\n</data></array></value>\n</member>\n<member>\n"
      "<name>seconds</name>\n<value><double>0.012</double></value>\n</member>\n<member>\n<name>when</name>\n<value>"
      "<dateTime.iso8601>20240229T23:59:58</dateTime.iso8601></value>\n</member>\n<member>\n<name>raw</name>\n<value>"
      "<base64>\nAP9vaw==\n</base64></value>\n</member>\n<member><name>n</name><value><int>-7</int></value></member>"
      "<member><name>i4</name><value><i4> +2147483647 </i4></value></member><member><name>i8</name><value><i8>"
      "-9223372036854775808</i8></value></member><member><name>ex</name><value><ex:i8>5000000000</ex:i8></value>"
      "</member><member><name>yes</name><value><boolean>1</boolean></value></member><member><name>none</name><value>"
      "<nil/></value></member><member><name>exnone</name><value><ex:nil/></value></member><member><name>bare</name>"
      "<value> plain text </value></member><member><name>empty</name><value><array><data/></array></value></member>"
      "</struct>");
  QVariant value;
  QString error;
  ASSERT_TRUE(OXXmlRpcClient::parseResponse(search, &value, &error)) << error.toStdString();
  const QVariantMap map = value.toMap();
  EXPECT_EQ(map.value("data"), QVariantList({QVariantMap{{"LanguageName", "English"},
                                                         {"ZipDownloadLink", "http://x/a.zip?a=1&b=<2>"}}}));
  EXPECT_EQ(map.value("status"), "200 OK");
  EXPECT_EQ(map.value("seconds"), 0.012);
  EXPECT_EQ(map.value("when"), QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58), QTimeZone::utc()));
  EXPECT_EQ(map.value("raw"), QByteArray("\x00\xffok", 4));
  EXPECT_EQ(map.value("n").metaType().id(), QMetaType::Int);
  EXPECT_EQ(map.value("n"), -7);
  EXPECT_EQ(map.value("i4"), INT_MAX);
  EXPECT_EQ(map.value("i8").metaType().id(), QMetaType::LongLong);
  EXPECT_EQ(map.value("i8"), std::numeric_limits<qint64>::min());
  EXPECT_EQ(map.value("ex"), qint64(5000000000));
  EXPECT_EQ(map.value("yes"), true);
  EXPECT_TRUE(map.contains("none") && map.value("none").isNull() && map.value("exnone").isNull());
  EXPECT_EQ(map.value("bare"), " plain text ");
  EXPECT_EQ(map.value("empty"), QVariantList());
  EXPECT_EQ(map.size(), 14);

  // Nesting as deep as allowed, and a bare top value.
  ASSERT_TRUE(OXXmlRpcClient::parseResponse(nested(OXXmlRpcClient::kMaxDepth), &value));
  ASSERT_TRUE(OXXmlRpcClient::parseResponse(answer("token"), &value));
  EXPECT_EQ(value, "token");
}

TEST(XmlRpcAnswers, FaultsGiveTheirCodeAndText) {
  QVariant value = "untouched";
  QString error;
  EXPECT_FALSE(OXXmlRpcClient::parseResponse(
      fault("<member>\n<name>faultCode</name>\n<value><int>1</int></value>\n</member>\n<member>\n<name>faultString"
            "</name>\n<value><string>&lt;class 'Exception'&gt;:no</string></value>\n</member>\n"),
      &value, &error));
  EXPECT_EQ(error, "fault 1: <class 'Exception'>:no");
  EXPECT_FALSE(OXXmlRpcClient::parseResponse(
      fault("<member><name>faultString</name><value>gone</value></member><member><name>faultCode</name><value><i4>"
            "-32601</i4></value></member>"),
      &value, &error));
  EXPECT_EQ(error, "fault -32601: gone");
  EXPECT_EQ(value, "untouched");
}

TEST(XmlRpcAnswers, MalformedOversizedOrDeepAnswersAreFailuresWithNoValue) {
  const QByteArray bodies[] = {
      // The 64-bit numbers that ended the old reader, at the top and inside a struct.
      answer("<i8>~123</i8>"), answer("<i8>12a</i8>"), answer("<i8>+</i8>"),
      answer("<ex:i8>99999999999999999999999</ex:i8>"),
      answer("<struct><member><name>token</name><value><i8>~123</i8></value></member></struct>"),
      answer("<struct><member><name>a</name><value><ex:i8>99999999999999999999999</ex:i8></value></member></struct>"),
      answer("<int>2147483648</int>"), answer("<i4>0x10</i4>"), answer("<int></int>"), answer("<int>1 2</int>"),
      answer("<boolean>true</boolean>"), answer("<boolean>2</boolean>"), answer("<double>1.5.2</double>"),
      answer("<double>nan</double>"), answer("<double>1e999</double>"), answer("<double></double>"),
      answer("<dateTime.iso8601>20241332T00:00:00</dateTime.iso8601>"),
      answer("<dateTime.iso8601>20240101T25:00:00</dateTime.iso8601>"),
      answer("<dateTime.iso8601>yesterday</dateTime.iso8601>"), answer("<base64>AP9v!!==</base64>"),
      answer("<base64>é</base64>"), answer("<nil>x</nil>"), answer("<float>1</float>"),
      answer("<string>a<b/></string>"), answer("x<string>a</string>"), answer("<string>a</string><string>b</string>"),
      answer("<struct><member><value><int>1</int></value></member></struct>"),
      answer("<struct><member><name>a</name></member></struct>"), answer("<struct><value>1</value></struct>"),
      answer("<array><value><int>1</int></value></array>"), answer("<array><data>x</data></array>"),
      "<methodResponse><params></params></methodResponse>",
      "<methodResponse><params><param><value>a</value></param><param><value>b</value></param></params>"
      "</methodResponse>",
      "<methodResponse><params><param><value>a</value>", answer("a") + "<methodResponse/>", answer("a") + "junk",
      "<methodResponse/>", "<methodCall><params><param><value>a</value></param></params></methodCall>",
      fault("<member><name>faultString</name><value>no code</value></member>"),
      "<html><body>Log in to the network</body></html>", "", "\x89\xfe\x00{<garbage \xff\xfe]]>&&",
      "<!DOCTYPE m [<!ENTITY a \"aaaa\">]><methodResponse><params><param><value>&a;</value></param></params>"
      "</methodResponse>",
      nested(OXXmlRpcClient::kMaxDepth + 1), nested(100000),
      answer("<string>" + QByteArray(OXXmlRpcClient::kMaxAnswerBytes, 'a') + "</string>")};
  for (const QByteArray& body : bodies) {
    QVariant value = "untouched";
    QString error;
    EXPECT_FALSE(OXXmlRpcClient::parseResponse(body, &value, &error)) << body.left(300).toStdString();
    EXPECT_TRUE(error.startsWith("malformed XML-RPC answer: ") || error.startsWith("an answer of "))
        << error.toStdString();
    EXPECT_EQ(value, "untouched");
  }
}

// Shapes that hold Qt's reader for seconds (bench/bench_xml_check.cpp times them) are refused before it reads them;
// what real answers carry still reads.
TEST(XmlRpcAnswers, ManyAttributesOrADocumentTypeAreRefusedBeforeTheyAreRead) {
  QByteArray wide = answer("ok"), typed = answer("ok"), attributes, declarations;
  for (int i = 0; i < 100000; ++i) attributes += " a" + QByteArray::number(i) + "=''";
  wide.insert(wide.indexOf("<methodResponse") + 15, attributes);
  while (declarations.size() < 1300000)
    declarations += "<!ATTLIST methodResponse a" + QByteArray::number(declarations.size()) + " CDATA #IMPLIED>\n";
  typed.insert(typed.indexOf("<methodResponse"), "<!DOCTYPE methodResponse [" + declarations + "]>");
  QString error;
  EXPECT_FALSE(OXXmlRpcClient::parseResponse(wide, nullptr, &error));
  EXPECT_EQ(error, "malformed XML-RPC answer: a tag with more than 4 attributes");
  EXPECT_FALSE(OXXmlRpcClient::parseResponse(typed, nullptr, &error));
  EXPECT_EQ(error, "malformed XML-RPC answer: a document type declaration");
  EXPECT_TRUE(OXXmlRpcClient::parseResponse(
      answer("<ex:i8>1</ex:i8>").replace("<methodResponse", "<methodResponse xmlns:ex=\"http://ws.apache.org/x\""),
      nullptr, &error))
      << error.toStdString();
}

// A file name's odd bytes or a cut magnet link leave a lone surrogate in a text: the call goes out well formed, with
// U+FFFD in its place. A text the writer cannot carry at all (a control character) is never sent.
TEST(XmlRpcCalls, ALoneSurrogateGoesAsAReplacementAndAnUnwritableTextNotAtAll) {
  oxtest::StandIn& standIn = oxtest::StandIn::shared();
  ASSERT_TRUE(standIn.isRunning());
  standIn.clear();
  const OXXmlRpcClient client(QUrl(standIn.baseUrl("opensubtitles") + "/xml-rpc"));
  const QString cut = QStringLiteral("Film") + QChar(0xD83D) + QStringLiteral(".mkv") + QChar(0xDC00);
  QVariant answer;
  QString error;
  ASSERT_TRUE(client.call("CheckMovieHash", {cut, QVariantList{QVariantMap{{cut, cut}}}}, &answer, &error))
      << error.toStdString();
  const QString replaced = QStringLiteral("Film\uFFFD.mkv\uFFFD");
  const QVariantList sent = standIn.requests("opensubtitles");
  ASSERT_EQ(sent.size(), 1);
  EXPECT_EQ(sent[0].toMap().value("rpc").toMap().value("params"),
            QVariantList({replaced, QVariantList{QVariantMap{{replaced, replaced}}}}));

  EXPECT_FALSE(client.call("LogOut", {QStringLiteral("a\x01z")}, &answer, &error));
  EXPECT_EQ(error, "the call was not sent: a text holds a character XML cannot carry");
  EXPECT_EQ(standIn.requests("opensubtitles").size(), 1);
}
