// The check before Qt's XML reader: it reads tags as the reader does, refuses only what no answer holds, and makes one
// pass however the bytes are built.
#include "platform/foundation/XmlCheck.h"

#include <gtest/gtest.h>

using ox::checkXml;

TEST(XmlCheck, TagsAreReadAsTheReaderReadsThem) {
  // '>' and the other quote inside values; markup inside comments, CDATA and instructions; the declaration's
  // pseudo-attributes, counted as one tag's.
  EXPECT_EQ(checkXml("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone='yes'?><!-- <!DOCTYPE a> "
                     "<b x='' y='' z='' w=''/> --><?pi <!DOCTYPE a x='' y='' z='' w=''?><a x='>\"' y=\"'>\" z='<'>"
                     "<![CDATA[<!DOCTYPE a><b x='' y='' z='' w=''>]]></a>",
                     3),
            "");
  EXPECT_EQ(checkXml("<a><b/><c x='>\"' y=\"'>\"></c ><d x='1' y='2' z='3' w='4'/></a>", 3),
            "a tag with more than 3 attributes");
  for (const char* typed : {"<?xml version='1.0'?><!DOCTYPE a><a/>", "<a><!ENTITY b 'c'></a>", "<a x='' <!DOCTYPE a>"})
    EXPECT_EQ(checkXml(typed, 3), "a document type declaration") << typed;
  // Encodings in which bytes below 0x80 may stand for other than ASCII hide markup from a pass over bytes.
  EXPECT_EQ(checkXml("<?xml version='1.0' encoding='UTF-7'?>+ADw-!DOCTYPE a+AD4-", 3), "the encoding \"UTF-7\"");
  const auto declaring = [](const QByteArray& encoding) {
    return checkXml("<?xml version = '1.0'\nencoding= \"" + encoding + "\" ?><a/>", 3);
  };
  for (const char* encoding : {"utf-16", "IBM037", "UTF&#45;7"}) EXPECT_NE(declaring(encoding), "") << encoding;
  for (const char* encoding : {"utf-8", "US-ASCII", "iso-8859-15", "windows-1252"}) EXPECT_EQ(declaring(encoding), "");
  EXPECT_FALSE(checkXml(QByteArray("<\0a\0/\0>\0", 8), 3).isEmpty());
}

// 8 MB each, left open where a scan looking for the end again from each start would take hours.
TEST(XmlCheck, UnclosedShapesTakeOnePass) {
  for (const QByteArray piece : {"<", "<a x=''", "</a ", "<?", "<!--", "<![CDATA[", "<a x='<!--"})
    EXPECT_EQ(checkXml("<a>" + piece.repeated((8 << 20) / piece.size()), 3), "") << piece.constData();
}
