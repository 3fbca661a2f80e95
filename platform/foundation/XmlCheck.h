#pragma once
#include <QByteArray>
#include <QString>

namespace ox {

// Checks XML from outside before QXmlStreamReader reads it. Qt's reader spends time quadratic in the attributes of one
// element, and parses a whole document type declaration (each of its declarations costing more as they grow) before
// a caller can refuse it: a megabyte of either holds a reader for many seconds. This pass costs time linear in the
// input however it is built, and refuses what none of our answers hold:
// - a document type declaration (any "<!" outside comments and CDATA sections other than those two);
// - a tag with more than `maxAttributes` attributes (the XML declaration counts as a tag);
// - a byte 0, or an encoding declared whose bytes below 0x80 may stand for other than ASCII (UTF-16, UTF-7, EBCDIC...):
//   there the reader would find markup these bytes do not show.
// It validates nothing else; the reader still does. Answers an empty text when the bytes may be read, else the reason.
QString checkXml(const QByteArray& bytes, int maxAttributes);

}  // namespace ox
