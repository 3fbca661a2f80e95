#include "core/OXTools.h"

#include <gtest/gtest.h>

TEST(TextBetween, CutsBetweenMarkers) {
  EXPECT_EQ(textBetween("x;dn=Quiet.Orchard;tr=y", ";dn=", ";tr="), "Quiet.Orchard");
  EXPECT_TRUE(textBetween("x;tr=y", ";dn=", ";tr=").isNull());
  EXPECT_EQ(textBetween("x;dn=Quiet;dn=Other", ";dn=", ";tr="), "Quiet");
  EXPECT_EQ(textBetween("x;dn=Quiet.Orchard", ";dn=", ";tr="), "Quiet.Orchard");
  EXPECT_EQ(textBetween("k=1&k=2", "k=", "&"), "1");
  EXPECT_EQ(textBetween("a&dn=one&dn=two&tr", "&dn=", "&tr"), "one");
  const QString atEnd = textBetween("abc;dn=", ";dn=", ";tr=");
  EXPECT_FALSE(atEnd.isNull());
  EXPECT_TRUE(atEnd.isEmpty());
}
