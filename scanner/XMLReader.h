#pragma once
#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantMap>

// XML text to nested dictionaries (QVariantMap), lists (QVariantList) and strings:
// - an attribute becomes the entry "@name";
// - a child element becomes the entry under its name; a second child of the same name turns that entry into a list
//   in document order;
// - an element with text and neither attributes nor children stands, in its parent, as its text alone; otherwise its
//   text becomes its entry "text";
// - an element with neither text, attributes nor children is left out (it removes nothing else);
// - text belongs to the element it stands in (also when it stands before a child element) and is trimmed of blanks
//   and line breaks once, when its element ends.
// The result is the document dictionary, whose one entry is the root element under its name; none (an invalid
// QVariant) when the bytes are not a well-formed document, nest elements more than kDepthLimit deep, or are refused
// by ox::checkXml before they are parsed (a document type, more than kAttributeLimit attributes on one element).
class XMLReader {
 public:
  static constexpr int kDepthLimit = 256;
  // TheTVDB's elements carry no attributes; a few are read.
  static constexpr int kAttributeLimit = 8;

  XMLReader() = default;
  QVariant objectWithData(const QByteArray& data);
  // The parser's message for the last failed parse.
  QString errorString() const { return errorPointer_; }

  static QVariant dictionaryForXMLData(const QByteArray& data);
  // The text with every line trimmed of blanks and line breaks and the lines joined with nothing between them.
  static QVariant dictionaryForXMLString(const QString& text);
  // The resource ":/<name>.xml" of the program.
  static QVariant dictionaryForPath(const QString& name);

 private:
  QString errorPointer_;
};

// The value at a dotted path ("Data.Episode.0.id"): a list takes a numeric index or "last"; a dictionary its entry.
// None (an invalid QVariant) for a missing entry, an index outside the list, or a component applied to a text.
QVariant retrieveForPath(const QVariantMap& dictionary, const QString& path);
QVariant retrieveForPath(const QVariant& dictionary, const QString& path);
