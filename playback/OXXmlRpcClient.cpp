#include "playback/OXXmlRpcClient.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>
#include <QVariantMap>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/foundation/HttpClient.h"
#include "platform/foundation/XmlCheck.h"

namespace {

// A text as the writer can carry it. A lone surrogate (from a file name's odd bytes or a cut magnet link) would make
// it end the body broken; it stands as U+FFFD instead.
QString writable(const QString& text) {
  if (QStringView(text).isValidUtf16()) return text;
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
      out += c;
      out += text.at(++i);
    } else {
      out += c.isSurrogate() ? QChar(QChar::ReplacementCharacter) : c;
    }
  }
  return out;
}

void writeValue(QXmlStreamWriter& w, const QVariant& v) {
  w.writeStartElement(QStringLiteral("value"));
  switch (v.metaType().id()) {
    case QMetaType::Bool:
      w.writeTextElement(QStringLiteral("boolean"), v.toBool() ? QStringLiteral("1") : QStringLiteral("0"));
      break;
    // An int on the wire holds 32 bits; a larger number travels as its digits.
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong: {
      const qint64 n = v.toLongLong();
      w.writeTextElement(n >= INT_MIN && n <= INT_MAX ? QStringLiteral("i4") : QStringLiteral("string"), v.toString());
      break;
    }
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
      w.writeTextElement(v.toULongLong() <= quint64(INT_MAX) ? QStringLiteral("i4") : QStringLiteral("string"),
                         v.toString());
      break;
    case QMetaType::Double:
    case QMetaType::Float:
      // Plain digits, never an exponent, which not every server reads.
      w.writeTextElement(QStringLiteral("double"), QString::number(v.toDouble(), 'f', QLocale::FloatingPointShortest));
      break;
    case QMetaType::QVariantMap: {
      w.writeStartElement(QStringLiteral("struct"));
      w.writeCharacters(QString());  // an empty struct as <struct></struct>, never <struct/>
      const QVariantMap map = v.toMap();
      for (auto it = map.begin(); it != map.end(); ++it) {
        w.writeStartElement(QStringLiteral("member"));
        w.writeTextElement(QStringLiteral("name"), writable(it.key()));
        writeValue(w, it.value());
        w.writeEndElement();
      }
      w.writeEndElement();
      break;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
      w.writeStartElement(QStringLiteral("array"));
      w.writeStartElement(QStringLiteral("data"));
      w.writeCharacters(QString());
      for (const QVariant& item : v.toList()) writeValue(w, item);
      w.writeEndElement();
      w.writeEndElement();
      break;
    default: w.writeTextElement(QStringLiteral("string"), writable(v.toString()));
  }
  w.writeEndElement();
}

// Empty when the writer flags the body (a text holds a character XML cannot carry, such as a control character): the
// writer leaves such a body cut short, and it is never sent.
QByteArray methodCall(const QString& methodName, const QVariantList& params) {
  QByteArray xml;
  QXmlStreamWriter w(&xml);
  w.writeStartDocument();
  w.writeStartElement(QStringLiteral("methodCall"));
  w.writeTextElement(QStringLiteral("methodName"), writable(methodName));
  w.writeStartElement(QStringLiteral("params"));
  for (const QVariant& p : params) {
    w.writeStartElement(QStringLiteral("param"));
    writeValue(w, p);
    w.writeEndElement();
  }
  w.writeEndDocument();
  return w.hasError() ? QByteArray() : xml;
}

bool isDecimal(QStringView t) {
  if (t.startsWith(u'+') || t.startsWith(u'-')) t = t.mid(1);
  return !t.isEmpty() && std::all_of(t.begin(), t.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// Reads one methodResponse token by token. Anything out of place ends the read: the answer is malformed, and why()
// says where.
class AnswerReader {
 public:
  explicit AnswerReader(const QByteArray& xml) : r_(xml) {
    // Extension types come as "ex:i8" or "ex:nil", often without the prefix declared.
    r_.setNamespaceProcessing(false);
  }

  // true with `value` for a params answer, or with `fault` set (and `value` untouched) for a fault answer.
  bool read(QVariant* value, QString* fault);
  QString why() const { return r_.hasError() ? r_.errorString() : why_; }

 private:
  bool fail(const QString& why) {
    if (why_.isEmpty()) why_ = why;
    return false;
  }
  bool fail(const char* why) { return fail(QString::fromLatin1(why)); }
  bool isStart(QStringView name) const { return r_.isStartElement() && r_.qualifiedName() == name; }
  bool markup();
  bool text(QString* out);
  bool value(QVariant* out, int depth);
  bool structure(QVariant* out, int depth);
  bool array(QVariant* out, int depth);
  bool scalar(const QString& type, QVariant* out);

  QXmlStreamReader r_;
  QString why_;
};

// Moves to the next element's start or end, past comments, instructions and blank text.
bool AnswerReader::markup() {
  while (!r_.atEnd()) {
    switch (r_.readNext()) {
      case QXmlStreamReader::StartElement:
      case QXmlStreamReader::EndElement: return true;
      case QXmlStreamReader::Characters:
        if (!r_.isWhitespace()) return fail("text out of place");
        break;
      case QXmlStreamReader::DTD:
      case QXmlStreamReader::EntityReference: return fail("declarations are not read");
      case QXmlStreamReader::Invalid: return false;
      default: break;
    }
  }
  return fail("the answer ends early");
}

// The text of a leaf element, through its end.
bool AnswerReader::text(QString* out) {
  out->clear();
  while (!r_.atEnd()) {
    switch (r_.readNext()) {
      case QXmlStreamReader::Characters: *out += r_.text(); break;
      case QXmlStreamReader::EndElement: return true;
      case QXmlStreamReader::StartElement: return fail("markup inside a text");
      case QXmlStreamReader::DTD:
      case QXmlStreamReader::EntityReference: return fail("declarations are not read");
      case QXmlStreamReader::Invalid: return false;
      default: break;
    }
  }
  return fail("the answer ends early");
}

// At a <value>'s start; reads through its end. Text alone is a string.
bool AnswerReader::value(QVariant* out, int depth) {
  if (depth > OXXmlRpcClient::kMaxDepth) return fail("nested too deeply");
  QString bare;
  for (bool typed = false; !typed;) {
    if (r_.atEnd()) return fail("the answer ends early");
    switch (r_.readNext()) {
      case QXmlStreamReader::Characters: bare += r_.text(); break;
      case QXmlStreamReader::EndElement: *out = bare; return true;
      case QXmlStreamReader::StartElement: typed = true; break;
      case QXmlStreamReader::DTD:
      case QXmlStreamReader::EntityReference: return fail("declarations are not read");
      case QXmlStreamReader::Invalid: return false;
      default: break;
    }
  }
  if (!bare.trimmed().isEmpty()) return fail("text beside a typed value");
  const QString type = r_.qualifiedName().toString();
  const bool ok = type == u"struct"  ? structure(out, depth)
                  : type == u"array" ? array(out, depth)
                                     : scalar(type, out);
  if (!ok) return false;
  return (markup() && r_.isEndElement()) || fail("a value holds more than one");
}

bool AnswerReader::structure(QVariant* out, int depth) {
  QVariantMap map;
  for (;;) {
    if (!markup()) return false;
    if (r_.isEndElement()) break;
    if (!isStart(u"member")) return fail("a struct holds other than members");
    QString name;
    QVariant item;
    if (!markup() || !isStart(u"name") || !text(&name)) return fail("a member without its name");
    if (!markup() || !isStart(u"value") || !value(&item, depth + 1)) return fail("a member without its value");
    if (!markup() || !r_.isEndElement()) return fail("a member holds more than a name and a value");
    map.insert(name, item);
  }
  *out = map;
  return true;
}

bool AnswerReader::array(QVariant* out, int depth) {
  if (!markup() || !isStart(u"data")) return fail("an array without its data");
  QVariantList list;
  for (;;) {
    if (!markup()) return false;
    if (r_.isEndElement()) break;
    QVariant item;
    if (!isStart(u"value") || !value(&item, depth + 1)) return fail("an array holds other than values");
    list << item;
  }
  if (!markup() || !r_.isEndElement()) return fail("an array holds more than its data");
  *out = list;
  return true;
}

bool AnswerReader::scalar(const QString& type, QVariant* out) {
  QString raw;
  if (!text(&raw)) return false;
  if (type == u"string") {
    *out = raw;
    return true;
  }
  const QString t = raw.trimmed();
  bool ok = false;
  if (type == u"int" || type == u"i4") {
    const qint64 n = isDecimal(t) ? t.toLongLong(&ok) : 0;
    ok = ok && n >= INT_MIN && n <= INT_MAX;
    *out = int(n);
  } else if (type == u"i8" || type == u"ex:i8") {
    *out = isDecimal(t) ? t.toLongLong(&ok) : 0;
  } else if (type == u"boolean") {
    ok = t == u"0" || t == u"1";
    *out = t == u"1";
  } else if (type == u"double") {
    static const QRegularExpression form(QRegularExpression::anchoredPattern(
        QStringLiteral(R"([+-]?(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+)(?:[eE][+-]?[0-9]{1,4})?)")));
    const double d = form.match(t).hasMatch() ? t.toDouble(&ok) : 0;
    ok = ok && std::isfinite(d);
    *out = d;
  } else if (type == u"dateTime.iso8601") {
    // 19980717T14:08:55, also with dashes, without colons, with fractions of a second or a trailing Z.
    static const QRegularExpression form(QRegularExpression::anchoredPattern(
        QStringLiteral(R"(([0-9]{4})-?([0-9]{2})-?([0-9]{2})T([0-9]{2}):?([0-9]{2}):?([0-9]{2})(?:\.[0-9]+)?Z?)")));
    const QRegularExpressionMatch m = form.match(t);
    const auto part = [&](int i) { return m.captured(i).toInt(); };
    const QDate date = m.hasMatch() ? QDate(part(1), part(2), part(3)) : QDate();
    const QTime time = m.hasMatch() ? QTime(part(4), part(5), part(6)) : QTime();
    ok = date.isValid() && time.isValid();
    *out = QDateTime(date, time, QTimeZone::utc());
  } else if (type == u"base64") {
    QByteArray encoded = t.toLatin1();
    encoded.removeIf([](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
    const auto decoded = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
    ok = decoded.decodingStatus == QByteArray::Base64DecodingStatus::Ok;
    *out = decoded.decoded;
  } else if (type == u"nil" || type == u"ex:nil") {
    ok = t.isEmpty();
    *out = QVariant();
  } else {
    return fail(QStringLiteral("unknown type <%1>").arg(type.left(40)));
  }
  return ok || fail(QStringLiteral("malformed <%1>%2</%1>").arg(type, t.left(40)));
}

bool AnswerReader::read(QVariant* answer, QString* fault) {
  if (!markup() || !isStart(u"methodResponse")) return fail("no methodResponse");
  if (!markup()) return false;
  QVariant v;
  if (isStart(u"fault")) {
    if (!markup() || !isStart(u"value") || !value(&v, 0)) return fail("a fault without its value");
    const QVariantMap f = v.toMap();
    const QVariant code = f.value(QStringLiteral("faultCode"));
    if (code.metaType().id() != QMetaType::Int) return fail("a fault without its code");
    *fault = QStringLiteral("fault %1: %2").arg(code.toInt()).arg(f.value(QStringLiteral("faultString")).toString());
  } else if (isStart(u"params")) {
    if (!markup() || !isStart(u"param")) return fail("an answer without its value");
    if (!markup() || !isStart(u"value") || !value(&v, 0)) return fail("a param without its value");
    if (!markup() || !r_.isEndElement()) return fail("a param holds more than one value");
    *answer = v;
  } else {
    return fail("a methodResponse holds neither params nor a fault");
  }
  if (!markup() || !r_.isEndElement()) return fail("more than one answer");   // </params> or </fault>
  if (!markup() || !r_.isEndElement()) return fail("more than one answer");   // </methodResponse>
  while (!r_.atEnd()) r_.readNext();  // trailing comments only: anything else is an error of the XML
  return !r_.hasError();
}

}  // namespace

OXXmlRpcClient::OXXmlRpcClient(const QUrl& endpoint, int connectTimeoutMs, int totalTimeoutMs)
    : endpoint_(endpoint), connectTimeoutMs_(connectTimeoutMs), totalTimeoutMs_(totalTimeoutMs) {}

bool OXXmlRpcClient::parseResponse(const QByteArray& xml, QVariant* answer, QString* error) {
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return false;
  };
  if (xml.size() > kMaxAnswerBytes)
    return fail(QStringLiteral("an answer of %1 bytes, more than %2").arg(xml.size()).arg(kMaxAnswerBytes));
  if (const QString refused = ox::checkXml(xml, kMaxAttributes); !refused.isEmpty())
    return fail(QStringLiteral("malformed XML-RPC answer: ") + refused);
  AnswerReader reader(xml);
  QVariant value;
  QString fault;
  if (!reader.read(&value, &fault)) return fail(QStringLiteral("malformed XML-RPC answer: ") + reader.why());
  if (!fault.isEmpty()) return fail(fault);
  if (answer) *answer = value;
  return true;
}

bool OXXmlRpcClient::call(const QString& methodName, const QVariantList& params, QVariant* answer,
                          QString* error) const {
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return false;
  };
  if (!endpoint_.isValid()) return fail(QStringLiteral("no endpoint"));
  ox::HttpRequest request;
  request.method = "POST";
  request.url = endpoint_;
  request.body = methodCall(methodName, params);
  if (request.body.isEmpty())
    return fail(QStringLiteral("the call was not sent: a text holds a character XML cannot carry"));
  request.contentType = "text/xml";
  request.connectTimeoutMs = connectTimeoutMs_;
  request.totalTimeoutMs = totalTimeoutMs_;
  request.maxBytes = kMaxAnswerBytes;
  const ox::HttpResponse response = ox::httpPerform(request);
  if (!response.transportOk) return fail(response.error);
  if (!response.isSuccess()) return fail(QStringLiteral("HTTP status %1").arg(response.status));
  return parseResponse(response.body, answer, error);
}
