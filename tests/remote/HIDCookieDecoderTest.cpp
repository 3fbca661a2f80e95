#include <gtest/gtest.h>

#include "remote/AppleRemote.h"
#include "remote/HIDCookieDecoder.h"

namespace {

const QString kMenu = QStringLiteral("31_20_19_18_31_20_19_18_");
const QString kPlus = QStringLiteral("31_29_28_19_18_");
const QString kMinus = QStringLiteral("31_30_28_19_18_");

// The decoded events as "code+" / "code-", then "?" and the unknown remainder, if any.
std::string decode(const QString& cookies, qint64 sum = 1, bool backlog = false) {
  const auto result = HIDCookieDecoder(AppleRemote::cookieTable(900, false)).decode(cookies, sum, backlog);
  std::string text;
  for (const HIDButtonEvent& e : result.events)
    text += (text.empty() ? "" : " ") + std::to_string(e.code) + (e.pressedDown ? "+" : "-");
  if (!result.unknown.isEmpty()) text += (text.empty() ? "?" : " ?") + result.unknown.toStdString();
  return text;
}

}  // namespace

TEST(HIDCookieDecoderTest, TheLayoutGenerationAndTheEmulationMarkPickTheTable) {
  EXPECT_EQ(AppleRemote::cookieTable(824, false).value(QStringLiteral("14_12_11_6_")), RemoteButtonPlus);
  EXPECT_EQ(AppleRemote::cookieTable(949, false).value(kPlus), RemoteButtonPlus);
  EXPECT_EQ(AppleRemote::cookieTable(950, false).value(QStringLiteral("33_31_30_21_20_2_")), RemoteButtonPlus);
  EXPECT_EQ(AppleRemote::cookieTable(950, true), AppleRemote::cookieTable(949, false));
  for (int generation : {824, 949, 950})
    EXPECT_EQ(HIDCookieDecoder(AppleRemote::cookieTable(generation, false)).supportedButtonEvents(), 0x3E7E);
}

TEST(HIDCookieDecoderTest, BatchesDecodeAsPressesReleasesAndClicks) {
  qint64 sum = -1;
  const HIDEventBatch batch{{31, 0}, {5, 7}, {29, 1}, {28, 0}, {19, 0}, {18, 0}};
  EXPECT_EQ(HIDCookieDecoder::cookieString(batch, &sum), kPlus);  // cookie 5 counts for nothing
  EXPECT_EQ(sum, 1);

  EXPECT_EQ(decode(kPlus, 1), "2+");
  EXPECT_EQ(decode(kPlus, 0), "2-");
  // A key after the start came pressed and released in one batch: after other cookies, or after another key.
  EXPECT_EQ(decode("40_41_" + kMenu), "8+ 8-");
  EXPECT_EQ(decode(kPlus + kMinus), "4+ 4-");
  // Keys that begin the batch are a backlog, of which only the last is sent, released.
  EXPECT_EQ(decode(kPlus + kPlus), "2-");
  EXPECT_EQ(decode(kPlus + kPlus, 1, true), "2+ 2+");
  EXPECT_EQ(decode(kMenu + "99_98_"), "8- ?99_98_");
  EXPECT_EQ(decode("77_"), "?77_");
  EXPECT_EQ(decode(QString()), "");
}

TEST(HIDCookieDecoderTest, KeysMatchWholeCookiesAndTheLongestFirst) {
  // "19_" lies inside every key of this table, but inside a longer key it is not a key of its own...
  EXPECT_EQ(decode(kMenu + "99_"), "8- ?99_");
  // ...nor inside a longer cookie.
  EXPECT_EQ(decode("40_119_"), "?40_119_");
  EXPECT_EQ(decode("40_19_"), "8192+ 8192-");
}
