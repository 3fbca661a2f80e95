#pragma once
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantList>

// One XML-RPC endpoint, reached through the system's one HTTP client with a connect and a total time-out. The call
// is written and the answer read here, on Qt's XML streams: the answer comes from whatever is on the way, so it is
// read with bounds on its size and nesting. Synchronous on the calling thread.
class OXXmlRpcClient {
 public:
  explicit OXXmlRpcClient(const QUrl& endpoint, int connectTimeoutMs = 5000, int totalTimeoutMs = 20000);

  // Sends methodName(params...). Texts, whole numbers, booleans, doubles, maps and lists go out as XML-RPC strings,
  // ints, booleans, doubles, structs and arrays; a lone surrogate in a text goes as U+FFFD. Answers false, with `error`
  // set, for a call holding a text XML cannot carry (a control character: nothing is sent), on a transport failure, an
  // HTTP status outside 2xx, an answer that is no XML-RPC response, or a fault; otherwise true with the decoded answer
  // as parseResponse gives it.
  bool call(const QString& methodName, const QVariantList& params, QVariant* answer, QString* error = nullptr) const;

  // Reads one XML-RPC methodResponse. true with the decoded value in `answer`; false with `error` set for a fault
  // (error text "fault <code>: <string>") or any malformed, oversized or too deeply nested answer, and before the XML
  // reader sees it, for one that ox::checkXml refuses.
  static bool parseResponse(const QByteArray& xml, QVariant* answer, QString* error = nullptr);

  // The largest answer read, and the deepest nesting of structs and arrays in it.
  static constexpr qint64 kMaxAnswerBytes = 8 << 20;
  static constexpr int kMaxDepth = 64;
  // The attributes one tag of an answer may carry: answers carry none, but for a few namespace declarations.
  static constexpr int kMaxAttributes = 4;

  QUrl endpoint() const { return endpoint_; }

 private:
  QUrl endpoint_;
  int connectTimeoutMs_;
  int totalTimeoutMs_;
};
