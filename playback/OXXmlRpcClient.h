#pragma once
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantList>

// One XML-RPC endpoint, reached through the system's one HTTP client: xmlrpc-c writes the call and reads the answer,
// libcurl carries them with a connect and a total time-out. Synchronous on the calling thread.
class OXXmlRpcClient {
 public:
  explicit OXXmlRpcClient(const QUrl& endpoint, int connectTimeoutMs = 5000, int totalTimeoutMs = 20000);

  // Sends methodName(params...). Texts, whole numbers, booleans, doubles, maps and lists go out as XML-RPC strings,
  // ints, booleans, doubles, structs and arrays. Answers false, with `error` set, on a transport failure, an HTTP
  // status outside 2xx, an answer that is no XML-RPC response, or a fault; otherwise true with the decoded answer
  // (structs as QVariantMap, arrays as QVariantList, base64 as QByteArray, dates as QDateTime).
  bool call(const QString& methodName, const QVariantList& params, QVariant* answer, QString* error = nullptr) const;

  QUrl endpoint() const { return endpoint_; }

 private:
  QUrl endpoint_;
  int connectTimeoutMs_;
  int totalTimeoutMs_;
};
