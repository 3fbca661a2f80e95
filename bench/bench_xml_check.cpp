// How long each reader of outside XML takes to answer (here: refuse) the two shapes that hold Qt's reader for seconds:
// 100,000 attributes on the root's start tag (1 MB) and 1.3 MB of attribute-list declarations in a document type.
// The subtitle service's XML-RPC answers, TheTVDB's answers and the update feed (fetched over the loopback and read
// as a check does, for a feed that offers a newer version). A reader that reads such an answer as sound, or takes
// 0.5 s or more for it, is an error of the run.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QUrl>

#include <algorithm>

#include "platform/foundation/Info.h"
#include "platform/foundation/XmlCheck.h"
#include "platform/system/SoftwareUpdater.h"
#include "playback/OXXmlRpcClient.h"
#include "scanner/XMLReader.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestUtil.h"

namespace {

constexpr double kAnswerBoundMs = 500;

// The third holds only a reader that processes namespaces: 40,000 nested elements that each declare one (0.9 MB).
enum Shape { kAttributes, kDeclarations, kNestedNamespaces };

QByteArray hostile(Shape shape, const QByteArray& prolog, const QByteArray& root, const QByteArray& body,
                   const QByteArray& rootAttributes = {}) {
  QByteArray head = prolog;
  QByteArray tag = "<" + root + rootAttributes;
  QByteArray content = body;
  if (shape == kAttributes) {
    for (int i = 0; i < 100000; ++i) tag += " a" + QByteArray::number(i) + "=\"\"";
  } else if (shape == kNestedNamespaces) {
    QByteArray open;
    for (int i = 0; i < 40000; ++i) open += "<a xmlns:p" + QByteArray::number(i) + "=\"u\">";
    content = open + body + QByteArray("</a>").repeated(40000);
  } else {
    head += "<!DOCTYPE " + root + " [";
    for (int i = 0; head.size() < 1300000; ++i)
      head += "<!ATTLIST " + root + " a" + QByteArray::number(i) + " CDATA #IMPLIED>\n";
    head += "]>";
  }
  return head + tag + ">" + content + "</" + root + ">\n";
}

QByteArray xmlRpcAnswer(Shape shape) {
  return hostile(shape, "<?xml version='1.0'?>\n", "methodResponse",
                 "\n<params>\n<param>\n<value><string>ok</string></value>\n</param>\n</params>\n");
}
QByteArray tvdbAnswer(Shape shape) {
  return hostile(shape, "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n", "Data",
                 "<Series><id>1201</id><SeriesName>The Quiet Neighbours</SeriesName></Series>");
}
QByteArray feed(Shape shape) {
  return hostile(shape, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n", "rss",
                 "<channel><link>https://ombrix.example/</link><item><link>https://ombrix.example/releases/9</link>"
                 "<enclosure url=\"https://ombrix.example/Ombrix-9.0.tar.gz\" sparkle:version=\"9.0\" length=\"1\" "
                 "type=\"application/octet-stream\"/></item></channel>",
                 " version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"");
}

// `read` answers whether the reader gave what it should: no value for the first two shapes.
template <typename Read>
void answerEach(benchmark::State& state, const QByteArray& bytes, Read read) {
  double longestMs = 0;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    const bool asItShould = read(bytes);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    longestMs = std::max(longestMs, ms);
    if (!asItShould) state.SkipWithError("the answer was not read as it should be");
  }
  if (longestMs >= kAnswerBoundMs) state.SkipWithError("an answer took 0.5 s or more");
  state.counters["longest_ms"] = longestMs;
  state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}

void BM_XmlRpcAnswer(benchmark::State& state) {
  answerEach(state, xmlRpcAnswer(Shape(state.range(0))),
             [](const QByteArray& b) { return !OXXmlRpcClient::parseResponse(b, nullptr); });
}
BENCHMARK(BM_XmlRpcAnswer)->Arg(kAttributes)->Arg(kDeclarations)->Unit(benchmark::kMillisecond);

void BM_TVDbAnswer(benchmark::State& state) {
  answerEach(state, tvdbAnswer(Shape(state.range(0))),
             [](const QByteArray& b) { return !XMLReader::dictionaryForXMLData(b).isValid(); });
}
BENCHMARK(BM_TVDbAnswer)->Arg(kAttributes)->Arg(kDeclarations)->Unit(benchmark::kMillisecond);

// The whole check: the request, the reading, the answer on the main thread. The nested feed offers its version.
void BM_UpdateFeed(benchmark::State& state) {
  const Shape shape = Shape(state.range(0));
  const QByteArray bytes = feed(shape);
  oxtest::LoopbackServer server;
  server.setReply("/appcast.xml", {200, bytes, "application/rss+xml", {}});
  ox::registerInfoValues({{"SUFeedURL", server.url("/appcast.xml").toString()}, {"CFBundleVersion", "1.0"}});
  answerEach(state, bytes, [shape](const QByteArray&) {
    bool answered = false;
    QUrl page;
    ox::SoftwareUpdater::shared().checkForUpdates([&](const ox::SoftwareUpdater::CheckResult& result) {
      page = result.releasePage;
      answered = true;
    });
    oxtest::spinUntil([&] { return answered; }, 120000);
    return page.isEmpty() == (shape != kNestedNamespaces);
  });
}
// A few runs only: each refusal is a log line.
BENCHMARK(BM_UpdateFeed)
    ->Arg(kAttributes)
    ->Arg(kDeclarations)
    ->Arg(kNestedNamespaces)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

// What the check itself costs on the largest answer the subtitle service's client reads (8 MB of search hits).
void BM_CheckOfALargeSoundAnswer(benchmark::State& state) {
  QByteArray hits;
  while (hits.size() < OXXmlRpcClient::kMaxAnswerBytes - 4096)
    hits += "<value><struct><member><name>SubFileName</name><value><string>The.Film.en.srt</string></value>"
            "</member><member><name>ZipDownloadLink</name><value><string>http://x/a.zip?a=1&amp;b=2</string>"
            "</value></member></struct></value>\n";
  const QByteArray answer = "<?xml version='1.0'?>\n<methodResponse><params><param><value><array><data>" + hits +
                            "</data></array></value></param></params></methodResponse>\n";
  for (auto _ : state)
    if (!ox::checkXml(answer, 4).isEmpty()) state.SkipWithError("a sound answer was refused");
  state.SetBytesProcessed(int64_t(state.iterations()) * answer.size());
}
BENCHMARK(BM_CheckOfALargeSoundAnswer)->Unit(benchmark::kMillisecond);

}  // namespace
