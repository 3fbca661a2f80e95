#include "platform/foundation/Text.h"

#include <gtest/gtest.h>

#include <climits>

TEST(Text, LeadingNumbersReadOnlyTheirPrefix) {
  EXPECT_EQ(ox::leadingInt("2010"), 2010);
  EXPECT_EQ(ox::leadingInt("  -42abc"), -42);
  EXPECT_EQ(ox::leadingInt("+7"), 7);
  EXPECT_EQ(ox::leadingInt("abc"), 0);
  EXPECT_EQ(ox::leadingInt(""), 0);
  EXPECT_EQ(ox::leadingInt("99999999999999999999"), INT_MAX);
  EXPECT_EQ(ox::leadingInteger("-99999999999999999999999"), LLONG_MIN);
  EXPECT_DOUBLE_EQ(ox::leadingDouble("7.5/10"), 7.5);
  EXPECT_DOUBLE_EQ(ox::leadingDouble(" -0.25e2x"), -25.0);
  EXPECT_DOUBLE_EQ(ox::leadingDouble("1e"), 1.0);
  EXPECT_DOUBLE_EQ(ox::leadingDouble("inf"), 0.0);
  EXPECT_DOUBLE_EQ(ox::leadingDouble("."), 0.0);
  EXPECT_DOUBLE_EQ(ox::leadingDouble(".5"), 0.5);
}

TEST(Text, EmptyNeedlesAndSeparatorsBehaveLikeTheOriginalStrings) {
  EXPECT_FALSE(ox::containsText("abc", ""));
  EXPECT_TRUE(ox::containsText("abc", "B", Qt::CaseInsensitive));
  EXPECT_EQ(ox::splitText("a,b", ""), QStringList{"a,b"});
  EXPECT_EQ(ox::splitText("a,b,", ","), (QStringList{"a", "b", ""}));
}
