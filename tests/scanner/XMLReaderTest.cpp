#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QVariantList>

#include "scanner/StringRegex.h"
#include "scanner/XMLReader.h"

namespace {
QVariantMap read(const char* xml) { return XMLReader::dictionaryForXMLData(QByteArray(xml)).toMap(); }
}  // namespace

TEST(XMLReader, BuildsTheTree) {
  const QVariantMap doc = read(
      "<?xml version=\"1.0\"?>\n<Data>\n  <Series lang=\"en\">Lantern Street</Series>\n"
      "  <Episode><id>1</id></Episode>\n  <Episode><id>2</id><Name>Two</Name></Episode>\n"
      "  <Plain>text only</Plain>\n</Data>\n");
  ASSERT_EQ(doc.keys(), QStringList({"Data"}));
  const QVariantMap series = retrieveForPath(doc, "Data.Series").toMap();
  EXPECT_EQ(series.value("@lang"), "en");
  EXPECT_EQ(series.value("text"), "Lantern Street");
  EXPECT_EQ(retrieveForPath(doc, "Data.Plain"), "text only");
  EXPECT_EQ(retrieveForPath(doc, "Data.Episode").toList().size(), 2);
  EXPECT_EQ(retrieveForPath(doc, "Data.Episode.0.id"), "1");
  EXPECT_EQ(retrieveForPath(doc, "Data.Episode.last.Name"), "Two");
  EXPECT_FALSE(retrieveForPath(doc, "Data.Episode.2").isValid());
  EXPECT_FALSE(retrieveForPath(doc, "Data.Episode.-1").isValid());
  EXPECT_EQ(retrieveForPath(doc, "Data.Episode.x.id"), "1");  // not numeric reads as 0
  // No whitespace-only "text" on elements with children.
  EXPECT_FALSE(retrieveForPath(doc, "Data.text").isValid());
}

TEST(XMLReader, SingleChildIsADictionaryAndPathsStopAtText) {
  const QVariantMap doc = read("<Data><Episode><id>7</id></Episode></Data>");
  EXPECT_EQ(retrieveForPath(doc, "Data.Episode").typeId(), QMetaType::QVariantMap);
  EXPECT_FALSE(retrieveForPath(doc, "Data.Episode.0").isValid());
  EXPECT_FALSE(retrieveForPath(doc, "Data.Episode.id.deeper").isValid());
  EXPECT_FALSE(retrieveForPath(doc, "Missing.Episode").isValid());
  EXPECT_FALSE(retrieveForPath(QVariant(QStringLiteral("text")), "Data").isValid());
}

TEST(XMLReader, EmptyElementsRemoveOnlyThemselves) {
  const QVariantMap doc = read(
      "<Data><Episode><id>1</id></Episode><Episode><id>2</id></Episode><Episode/>"
      "<Item>a</Item><Item></Item><Single/><filename></filename></Data>");
  const QVariantList episodes = retrieveForPath(doc, "Data.Episode").toList();
  ASSERT_EQ(episodes.size(), 2);
  EXPECT_EQ(retrieveForPath(doc, "Data.Episode.1.id"), "2");
  EXPECT_EQ(retrieveForPath(doc, "Data.Item"), "a");  // the empty sibling leaves the first as it was
  EXPECT_FALSE(retrieveForPath(doc, "Data.Single").isValid());
  EXPECT_FALSE(retrieveForPath(doc, "Data.filename").isValid());
  // A document whose root is empty still reads, as an empty dictionary.
  const QVariant empty = XMLReader::dictionaryForXMLData("<Data/>");
  ASSERT_TRUE(empty.isValid());
  EXPECT_TRUE(empty.toMap().isEmpty());
}

TEST(XMLReader, TextStaysWithItsElementAndIsTrimmedOnce) {
  EXPECT_EQ(retrieveForPath(read("<a><n>Tom &amp; Jerry</n></a>"), "a.n"), "Tom & Jerry");
  EXPECT_EQ(retrieveForPath(read("<a><n> A &amp; B </n></a>"), "a.n"), "A & B");
  EXPECT_EQ(retrieveForPath(read("<a><n>\n  x &lt;&gt; y\n</n></a>"), "a.n"), "x <> y");
  const QVariantMap mixed = read("<a>x<b>y</b></a>");
  EXPECT_EQ(retrieveForPath(mixed, "a.b"), "y");
  EXPECT_EQ(retrieveForPath(mixed, "a.text"), "x");
  EXPECT_EQ(retrieveForPath(read("<a>x<b>y</b>z</a>"), "a.text"), "xz");
  EXPECT_EQ(retrieveForPath(read("<a><n><![CDATA[1 < 2]]></n></a>"), "a.n"), "1 < 2");
  // Chunked delivery (long text, many entities) makes no difference.
  QByteArray longText = "<a><n>";
  QString expected;
  for (int i = 0; i < 3000; ++i) {
    longText += "w &amp; ";
    expected += QStringLiteral("w & ");
  }
  longText += "</n></a>";
  EXPECT_EQ(retrieveForPath(read(longText.constData()), "a.n"), expected.trimmed());
}

TEST(XMLReader, RejectsWhatIsNotAWellFormedDocument) {
  EXPECT_FALSE(XMLReader::dictionaryForXMLData(QByteArray()).isValid());
  EXPECT_FALSE(XMLReader::dictionaryForXMLData("<a><b></a>").isValid());
  EXPECT_FALSE(XMLReader::dictionaryForXMLData("not xml at all").isValid());
  EXPECT_FALSE(XMLReader::dictionaryForXMLData("<a>1</a><b>2</b>").isValid());
  EXPECT_FALSE(XMLReader::dictionaryForXMLData("\x89\xfe\x00{<garbage").isValid());
  XMLReader reader;
  EXPECT_FALSE(reader.objectWithData("<a>").isValid());
  EXPECT_FALSE(reader.errorString().isEmpty());
  // External entities are never fetched: the reference stays unresolved.
  const QVariant external = XMLReader::dictionaryForXMLData(
      "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a><n>&x;</n></a>");
  EXPECT_FALSE(retrieveForPath(external, "a.n").toString().contains("root"));
  // The text form joins trimmed lines.
  EXPECT_EQ(retrieveForPath(XMLReader::dictionaryForXMLString("<a>\n  <b>\n  one\n  </b>\n</a>\n"), "a.b"), "one");
}

// Answers within TheTVDB's size bounds but shaped to hurt: a million nested elements (which would overflow the stack
// as the tree is torn down) are no document; 300,000 episodes (a copy of the list each would take hours) read at once.
TEST(XMLReader, HostileShapesWithinTheSizeBoundsReadSafely) {
  const int depth = 1000000;
  XMLReader reader;
  EXPECT_FALSE(reader.objectWithData(QByteArray("<a>").repeated(depth) + "x" + QByteArray("</a>").repeated(depth))
                   .isValid());
  EXPECT_TRUE(reader.errorString().contains("deep"));
  const QByteArray nested = QByteArray("<a>").repeated(XMLReader::kDepthLimit) + "x" +
                            QByteArray("</a>").repeated(XMLReader::kDepthLimit);
  EXPECT_TRUE(XMLReader::dictionaryForXMLData(nested).isValid());

  QElapsedTimer timer;
  timer.start();
  const QVariant wide = XMLReader::dictionaryForXMLData("<Data>" + QByteArray("<Episode>1</Episode>").repeated(300000) +
                                                        "</Data>");
  EXPECT_EQ(retrieveForPath(wide, "Data.Episode").toList().size(), 300000);
  EXPECT_LT(timer.elapsed(), 120000);
}

// Shapes that hold Qt's reader for seconds (bench/bench_xml_check.cpp times them) are no document, unread; a few
// attributes still read.
TEST(XMLReader, ManyAttributesOrADocumentTypeAreNoDocument) {
  QByteArray wide = "<Data", declarations;
  for (int i = 0; i < 100000; ++i) wide += " a" + QByteArray::number(i) + "=\"\"";
  while (declarations.size() < 1300000)
    declarations += "<!ATTLIST Data a" + QByteArray::number(declarations.size()) + " CDATA #IMPLIED>\n";
  XMLReader reader;
  EXPECT_FALSE(reader.objectWithData(wide + "><Series><id>1</id></Series></Data>").isValid());
  EXPECT_EQ(reader.errorString(), "a tag with more than 8 attributes");
  EXPECT_FALSE(reader.objectWithData("<!DOCTYPE Data [" + declarations + "]><Data><id>1</id></Data>").isValid());
  EXPECT_EQ(reader.errorString(), "a document type declaration");
  const QVariantMap few = read("<Data a='1' b='2' c='3' d='4' e='5' f='6' g='7' h='8'><id>1</id></Data>");
  EXPECT_EQ(retrieveForPath(few, "Data.@h"), "8");
}

TEST(StringRegex, ReplaceExtractMatch) {
  EXPECT_EQ(StringRegex::stringByReplacingRegexPattern("Show.S01E03.mkv", "S(\\d+)E(\\d+)", "$2x$1"),
            "Show.03x01.mkv");
  EXPECT_EQ(StringRegex::stringByReplacingRegexPattern("a-b-c", "-", "\\$"), "a$b$c");
  EXPECT_EQ(StringRegex::stringByReplacingRegexPattern("ABC abc", "b", "_", true), "A_C a_c");
  EXPECT_EQ(StringRegex::stringByReplacingRegexPattern("", "x", "y"), "");
  EXPECT_EQ(StringRegex::stringByReplacingRegexPattern("a\nb", "a.b", "J", false, true), "J");
  EXPECT_EQ(StringRegex::stringByReplacingRegexPattern("a\nb", "a.b", "J"), "a\nb");

  EXPECT_EQ(*StringRegex::stringsByExtractingGroupsUsingRegexPattern("S01E02 S03E04", "S(\\d+)E(\\d+)"),
            QStringList({"01", "02", "03", "04"}));
  EXPECT_EQ(*StringRegex::stringsByExtractingGroupsUsingRegexPattern("ab", "(a)|(b)"),
            QStringList({"a", "", "", "b"}));
  EXPECT_TRUE(StringRegex::stringsByExtractingGroupsUsingRegexPattern("xyz", "(q)")->isEmpty());

  EXPECT_TRUE(StringRegex::matchesPatternRegexPattern("Movie (1999)", "\\(\\d{4}\\)"));
  EXPECT_TRUE(StringRegex::matchesPatternRegexPattern("MOVIE", "movie", true));
  EXPECT_FALSE(StringRegex::matchesPatternRegexPattern("MOVIE", "movie"));
}

TEST(StringRegex, BadPatternGivesNone) {
  EXPECT_FALSE(StringRegex::matchesPatternRegexPattern("text", "(unbalanced"));
  EXPECT_FALSE(StringRegex::stringByReplacingRegexPattern("text", "(unbalanced", "x").has_value());
  EXPECT_FALSE(StringRegex::stringsByExtractingGroupsUsingRegexPattern("text", "[").has_value());
}
