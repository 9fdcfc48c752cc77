#include "site/bvid.h"

#include <gtest/gtest.h>

namespace pindlewick::site {
namespace {

struct KnownPair {
  std::int64_t aid;
  const char* bvid;
};

// Pairs the site itself shows.
constexpr KnownPair kKnownPairs[] = {
    {170001, "BV17x411w7KC"},       {85440373, "BV117411r7R1"}, {13502509, "BV1ex411J7GE"},
    {99999999, "BV1y7411Q7Eq"},     {80433022, "BV1GJ411x7h7"}, {111298867365120, "BV1L9Uoa9EUx"},
    {2, "BV1xx411c7mD"},
};

TEST(Bvid, KnownPairsConvertBothWays) {
  for (const KnownPair& pair : kKnownPairs) {
    EXPECT_EQ(bvidOfAid(pair.aid), pair.bvid) << pair.aid;
    EXPECT_EQ(aidOfBvid(pair.bvid), pair.aid) << pair.bvid;
  }
}

TEST(Bvid, EndsOfTheAvRangeRoundTrip) {
  for (const std::int64_t aid : {std::int64_t{1}, kAidLimit - 1}) {
    const std::optional<std::string> bvid = bvidOfAid(aid);
    ASSERT_TRUE(bvid) << aid;
    EXPECT_EQ(aidOfBvid(*bvid), aid) << *bvid;
  }
}

TEST(Bvid, AvNumbersOutsideTheRangeHaveNoBvid) {
  for (const std::int64_t aid : {std::int64_t{0}, std::int64_t{-1}, kAidLimit}) {
    EXPECT_FALSE(bvidOfAid(aid)) << aid;
  }
}

TEST(Bvid, TextsThatAreNoBvidHaveNoAvNumber) {
  const char* const texts[] = {
      "",
      "BV17x411w7K",    // one character short
      "BV17x411w7KCC",  // one too many
      "bv17x411w7KC",   // the prefix is upper case
      "BV27x411w7KC",   // the third character is always 1
      "BV17x411w7K0",   // 0 is not in the alphabet
      "BV17x411w7Kl",   // nor is l
      "BV1zzzzzzzzz",   // alphabet only, but beyond every av number
  };
  for (const char* text : texts) EXPECT_FALSE(aidOfBvid(text)) << text;
}

}  // namespace
}  // namespace pindlewick::site
