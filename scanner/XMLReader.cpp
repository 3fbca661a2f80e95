#include "scanner/XMLReader.h"

#include <QFile>
#include <QStringList>
#include <QVariantList>
#include <QXmlStreamReader>
#include <vector>

#include "platform/foundation/Text.h"
#include "platform/foundation/XmlCheck.h"

namespace {

struct OpenElement {
  QString name;
  QVariantMap entries;
  QString text;
};

// Adds a finished child to its parent: a first child of a name is stored, the next ones make a list.
void addChild(QVariantMap& parent, const QString& name, const QVariant& value) {
  auto it = parent.find(name);
  if (it == parent.end()) {
    parent.insert(name, value);
  } else if (it->typeId() == QMetaType::QVariantList) {
    // In place: copying the list out and back for every further child would cost a long list its length squared.
    static_cast<QVariantList*>(it->data())->append(value);
  } else {
    *it = QVariantList{*it, value};
  }
}

bool isTrimmable(QChar c) { return c.isSpace(); }

QString trimmedText(const QString& s) {
  qsizetype begin = 0, end = s.size();
  while (begin < end && isTrimmable(s.at(begin))) ++begin;
  while (end > begin && isTrimmable(s.at(end - 1))) --end;
  return s.mid(begin, end - begin);
}

}  // namespace

QVariant XMLReader::objectWithData(const QByteArray& data) {
  errorPointer_ = ox::checkXml(data, kAttributeLimit);
  if (!errorPointer_.isEmpty()) return {};
  QXmlStreamReader xml(data);
  xml.setNamespaceProcessing(false);
  std::vector<OpenElement> stack(1);  // the document at the bottom
  while (!xml.atEnd()) {
    switch (xml.readNext()) {
      case QXmlStreamReader::StartElement: {
        // The tree is torn down a level a call: a document nested without end would overflow the stack.
        if (stack.size() > size_t(kDepthLimit)) {
          errorPointer_ = QStringLiteral("elements nested more than %1 deep").arg(kDepthLimit);
          return {};
        }
        OpenElement element;
        element.name = xml.qualifiedName().toString();
        for (const QXmlStreamAttribute& a : xml.attributes())
          element.entries.insert(QLatin1Char('@') + a.qualifiedName().toString(), a.value().toString());
        stack.push_back(std::move(element));
        break;
      }
      case QXmlStreamReader::Characters:
        if (stack.size() > 1) stack.back().text += xml.text();
        break;
      case QXmlStreamReader::EndElement: {
        OpenElement element = std::move(stack.back());
        stack.pop_back();
        const QString text = trimmedText(element.text);
        if (!element.entries.isEmpty()) {
          if (!text.isEmpty()) element.entries.insert(QStringLiteral("text"), text);
          addChild(stack.back().entries, element.name, element.entries);
        } else if (!text.isEmpty()) {
          addChild(stack.back().entries, element.name, text);
        }
        break;
      }
      default:
        break;
    }
  }
  if (xml.hasError()) {
    errorPointer_ = xml.errorString();
    return {};
  }
  if (stack.size() != 1) return {};
  return stack.front().entries;
}

QVariant XMLReader::dictionaryForXMLData(const QByteArray& data) {
  XMLReader reader;
  return reader.objectWithData(data);
}

QVariant XMLReader::dictionaryForXMLString(const QString& text) {
  QStringList lines = text.split(QLatin1Char('\n'));
  for (QString& line : lines) line = trimmedText(line);
  return dictionaryForXMLData(lines.join(QString()).toUtf8());
}

QVariant XMLReader::dictionaryForPath(const QString& name) {
  QFile file(QStringLiteral(":/") + name + QStringLiteral(".xml"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return dictionaryForXMLData(file.readAll());
}

QVariant retrieveForPath(const QVariantMap& dictionary, const QString& path) {
  const QStringList components = path.split(QLatin1Char('.'));
  QVariant current = dictionary.value(components.first());
  for (qsizetype i = 1; i < components.size() && current.isValid(); ++i) {
    const QString& component = components.at(i);
    if (current.typeId() == QMetaType::QVariantList) {
      const QVariantList list = current.toList();
      if (component == QLatin1String("last")) {
        current = list.isEmpty() ? QVariant() : list.last();
      } else {
        const int index = ox::leadingInt(component);
        current = index >= 0 && index < list.size() ? list.at(index) : QVariant();
      }
    } else if (current.typeId() == QMetaType::QVariantMap) {
      current = current.toMap().value(component);
    } else {
      current = QVariant();  // a text takes no look-up
    }
  }
  return current;
}

QVariant retrieveForPath(const QVariant& dictionary, const QString& path) {
  if (dictionary.typeId() != QMetaType::QVariantMap) return {};
  return retrieveForPath(dictionary.toMap(), path);
}
