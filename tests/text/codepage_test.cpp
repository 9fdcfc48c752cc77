#include "text/codepage.h"

#include <gtest/gtest.h>

namespace pindlewick {
namespace {

const Text kZhong = "\xD6\xD0";  // 中 in GBK

TEST(UrlEncode, Forms) {
  struct Case {
    Text text;
    bool keepAlnum;
    bool utf8;
    Text expected;
  };
  const Case cases[] = {
      {"", false, false, ""},
      {"", true, true, ""},
      {kZhong, true, true, "%E4%B8%AD"},
      {kZhong, true, false, "%D6%D0"},
      {"/video/BV1x?p=3", true, true, "%2Fvideo%2FBV1x%3Fp%3D3"},
      {"a_b~c d", true, true, "a%5Fb%7Ec%20d"},
      {"ab-1", false, false, "%61%62%2D%31"},
      {"\t\n", true, true, "%09%0A"},
      {"-.09AZaz*", true, false, "-.09AZaz%2A"},
      {"https://www.example.com/video/BV1?p=1", true, true,
       "https%3A%2F%2Fwww.example.com%2Fvideo%2FBV1%3Fp%3D1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(urlEncode(c.text, c.keepAlnum, c.utf8), c.expected) << '"' << c.text << '"';
  }
}

TEST(GbkToUtf8, Characters) {
  EXPECT_EQ(gbkToUtf8(kZhong), "\xE4\xB8\xAD");
  EXPECT_EQ(gbkToUtf8("abc"), "abc");
  EXPECT_EQ(gbkToUtf8(""), "");
  // 0x80 is the euro sign in the Windows table; a text of euros must not be cut.
  EXPECT_EQ(gbkToUtf8("\x80\x80\x80"), "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC");
  // 开始 (BF AA CA BC)
  EXPECT_EQ(gbkToUtf8("\xBF\xAA\xCA\xBC"), "\xE5\xBC\x80\xE5\xA7\x8B");
}

TEST(Utf8ToGbk, Characters) {
  EXPECT_EQ(utf8ToGbk("\xE4\xB8\xAD"), kZhong);
  EXPECT_EQ(utf8ToGbk("a\xE0\xB8\x81z"), "a?z") << "Thai has no GBK form";
  EXPECT_EQ(utf8ToGbk(""), "");
}

TEST(GbkToWide, TerminatorRules) {
  EXPECT_EQ(gbkToWide("A"), (WideBytes{0x41, 0, 0, 0}));
  EXPECT_EQ(gbkToWide("A", true), (WideBytes{0x41, 0}));
  EXPECT_EQ(gbkToWide(""), WideBytes{});
  EXPECT_EQ(gbkToWide(kZhong), (WideBytes{0x2D, 0x4E, 0, 0}));
}

TEST(WideToGbk, StopsAtTheFirstZero) {
  EXPECT_EQ(wideToGbk(WideBytes{0x41, 0, 0x42, 0}), "AB");
  EXPECT_EQ(wideToGbk(WideBytes{0x41, 0, 0, 0, 0x42, 0}), "A");
  EXPECT_EQ(wideToGbk(WideBytes{0x41, 0, 0x42}), "A") << "an odd last byte is ignored";
  EXPECT_EQ(wideToGbk(WideBytes{}), "");
  EXPECT_EQ(wideToGbk(WideBytes{0x2D, 0x4E}), kZhong);
  EXPECT_EQ(wideToGbk(WideBytes{0xAC, 0x20}), "\x80") << "the euro sign";
  // A character GBK cannot hold (U+0E01, Thai) becomes "?".
  EXPECT_EQ(wideToGbk(WideBytes{0x41, 0, 0x01, 0x0E, 0x42, 0}), "A?B");
  // e + combining acute composes to é, which GBK holds (A8 A6).
  EXPECT_EQ(wideToGbk(WideBytes{0x65, 0, 0x01, 0x03}), "\xA8\xA6");
}

TEST(AnsiToWide, CodePages) {
  EXPECT_EQ(ansiToWide(kZhong, kCodePageGbk), (WideBytes{0x2D, 0x4E, 0, 0}));
  EXPECT_EQ(ansiToWide(kZhong, kCodePageAnsi), (WideBytes{0x2D, 0x4E, 0, 0}));
  EXPECT_EQ(ansiToWide("\xE4\xB8\xAD"), (WideBytes{0x2D, 0x4E, 0, 0})) << "UTF-8 by default";
  EXPECT_EQ(ansiToWide(""), (WideBytes{0, 0}));
}

TEST(WideToMultiByte, CodePages) {
  const WideBytes zhong{0x2D, 0x4E, 0, 0, 0x41, 0};
  EXPECT_EQ(wideToMultiByte(zhong), kZhong) << "code page 0 is 936 here";
  EXPECT_EQ(wideToMultiByte(zhong, kCodePageUtf8), "\xE4\xB8\xAD");
  EXPECT_EQ(wideToMultiByte(WideBytes{}), "");
}

TEST(Conversions, RoundTripEveryTwoByteCharacter) {
  int checked = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const Text character(std::string{static_cast<char>(lead), static_cast<char>(trail)});
      const WideBytes wide = gbkToWide(character);
      if (wideToGbk(wide) == "?") continue;  // a code point the table leaves unassigned
      ASSERT_EQ(wideToGbk(wide), character) << std::hex << lead << ' ' << trail;
      ++checked;
    }
  }
  EXPECT_GT(checked, 21000);
}

}  // namespace
}  // namespace pindlewick
