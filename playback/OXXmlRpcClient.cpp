#include "playback/OXXmlRpcClient.h"

#include <QDateTime>
#include <QTimeZone>
#include <QVariantMap>
#include <xmlrpc-c/base.hpp>
#include <xmlrpc-c/client.hpp>
#include <xmlrpc-c/girerr.hpp>

#include "platform/foundation/HttpClient.h"

namespace {

// The endpoint of one call, as xmlrpc-c hands it to the transport.
class Carriage : public xmlrpc_c::carriageParm {
 public:
  explicit Carriage(QUrl url) : url(std::move(url)) {}
  ~Carriage() override = default;
  QUrl url;
};

// Carries the XML through the system's HTTP client, so every call has both time-outs and no second HTTP stack.
class Transport : public xmlrpc_c::clientXmlTransport {
 public:
  Transport(int connectMs, int totalMs) : connectMs_(connectMs), totalMs_(totalMs) {}
  void call(xmlrpc_c::carriageParm* carriageParmP, const std::string& callXml,
            std::string* responseXmlP) override {
    auto* carriage = dynamic_cast<Carriage*>(carriageParmP);
    if (!carriage) throw girerr::error("no endpoint");
    ox::HttpRequest request;
    request.method = "POST";
    request.url = carriage->url;
    request.body = QByteArray::fromStdString(callXml);
    request.contentType = "text/xml";
    request.connectTimeoutMs = connectMs_;
    request.totalTimeoutMs = totalMs_;
    const ox::HttpResponse response = ox::httpPerform(request);
    if (!response.transportOk) throw girerr::error(response.error.toStdString());
    if (!response.isSuccess()) throw girerr::error("HTTP status " + std::to_string(response.status));
    *responseXmlP = response.body.toStdString();
  }

 private:
  int connectMs_;
  int totalMs_;
};

xmlrpc_c::value toValue(const QVariant& v) {
  switch (v.metaType().id()) {
    case QMetaType::Bool: return xmlrpc_c::value_boolean(v.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort: return xmlrpc_c::value_int(v.toInt());
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong: {
      const qint64 n = v.toLongLong();
      if (n >= INT_MIN && n <= INT_MAX) return xmlrpc_c::value_int(int(n));
      return xmlrpc_c::value_string(std::to_string(n));
    }
    case QMetaType::Double:
    case QMetaType::Float: return xmlrpc_c::value_double(v.toDouble());
    case QMetaType::QVariantMap: {
      std::map<std::string, xmlrpc_c::value> members;
      const QVariantMap map = v.toMap();
      for (auto it = map.begin(); it != map.end(); ++it) members.emplace(it.key().toStdString(), toValue(it.value()));
      return xmlrpc_c::value_struct(members);
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
      std::vector<xmlrpc_c::value> items;
      for (const QVariant& item : v.toList()) items.push_back(toValue(item));
      return xmlrpc_c::value_array(items);
    }
    default: return xmlrpc_c::value_string(v.toString().toStdString());
  }
}

QVariant fromValue(const xmlrpc_c::value& v) {
  switch (v.type()) {
    case xmlrpc_c::value::TYPE_INT: return int(xmlrpc_c::value_int(v));
    case xmlrpc_c::value::TYPE_I8: return qint64(xmlrpc_c::value_i8(v).cvalue());
    case xmlrpc_c::value::TYPE_BOOLEAN: return bool(xmlrpc_c::value_boolean(v));
    case xmlrpc_c::value::TYPE_DOUBLE: return double(xmlrpc_c::value_double(v));
    case xmlrpc_c::value::TYPE_STRING: return QString::fromStdString(std::string(xmlrpc_c::value_string(v)));
    case xmlrpc_c::value::TYPE_DATETIME:
      return QDateTime::fromSecsSinceEpoch(qint64(xmlrpc_c::value_datetime(v).cvalue()), QTimeZone::utc());
    case xmlrpc_c::value::TYPE_BYTESTRING: {
      const std::vector<unsigned char> bytes = xmlrpc_c::value_bytestring(v).cvalue();
      return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }
    case xmlrpc_c::value::TYPE_ARRAY: {
      QVariantList list;
      for (const xmlrpc_c::value& item : xmlrpc_c::value_array(v).vectorValueValue()) list << fromValue(item);
      return list;
    }
    case xmlrpc_c::value::TYPE_STRUCT: {
      QVariantMap map;
      const std::map<std::string, xmlrpc_c::value> members = xmlrpc_c::value_struct(v);
      for (const auto& [key, item] : members) map.insert(QString::fromStdString(key), fromValue(item));
      return map;
    }
    default: return {};
  }
}

}  // namespace

OXXmlRpcClient::OXXmlRpcClient(const QUrl& endpoint, int connectTimeoutMs, int totalTimeoutMs)
    : endpoint_(endpoint), connectTimeoutMs_(connectTimeoutMs), totalTimeoutMs_(totalTimeoutMs) {}

bool OXXmlRpcClient::call(const QString& methodName, const QVariantList& params, QVariant* answer,
                          QString* error) const {
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return false;
  };
  if (!endpoint_.isValid()) return fail(QStringLiteral("no endpoint"));
  try {
    Transport transport(connectTimeoutMs_, totalTimeoutMs_);
    xmlrpc_c::client_xml client(&transport);
    Carriage carriage(endpoint_);
    xmlrpc_c::paramList list;
    for (const QVariant& p : params) list.add(toValue(p));
    xmlrpc_c::rpcOutcome outcome;
    client.call(&carriage, methodName.toStdString(), list, &outcome);
    if (!outcome.succeeded()) {
      const xmlrpc_c::fault fault = outcome.getFault();
      return fail(QStringLiteral("fault %1: %2")
                      .arg(int(fault.getCode()))
                      .arg(QString::fromStdString(fault.getDescription())));
    }
    if (answer) *answer = fromValue(outcome.getResult());
    return true;
  } catch (const std::exception& e) {
    return fail(QString::fromUtf8(e.what()));
  }
}
