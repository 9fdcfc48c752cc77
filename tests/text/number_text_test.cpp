#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "text/text.h"

namespace pindlewick {
namespace {

TEST(TextToInt, ReadsTheLeadingNumber) {
  struct Case {
    Text text;
    int expected;
  };
  const Case cases[] = {
      {"42abc", 42},
      {"  42", 42},
      {"\t\r\n\v\f7", 7},
      {"-7", -7},
      {"+7", 7},
      {"- 5", 0},
      {"0x1F", 0},
      {"", 0},
      {"1.9", 1},
      {"1e3", 1},
      {"\xA3\xB1\xA3\xB2", 12},                // full-width digits
      {"\xA1\xA1\xA3\xAD\xA3\xB3", -3},        // full-width space and minus
      {"\xD6\xD0" "5", 0},                     // another two-byte character is no digit
      {"4294967297", 1},                       // 2^32 + 1 wraps around
      {"2147483648", -2147483647 - 1},         // 2^31
      {"-2147483648", -2147483647 - 1},
      {"99\xB0", 99},                          // a broken last character is dropped
  };
  for (const Case& c : cases) EXPECT_EQ(textToInt(c.text), c.expected) << '"' << c.text << '"';
}

TEST(IntToText, DecimalAndHex) {
  EXPECT_EQ(intToText(-5), "-5");
  EXPECT_EQ(intToText(0), "0");
  EXPECT_EQ(intToText(7), "7");
  EXPECT_EQ(intToText(std::numeric_limits<int>::min()), "-2147483648");
  EXPECT_EQ(hexText(10), "A");
  EXPECT_EQ(hexText(255), "FF");
  EXPECT_EQ(hexText(0), "0");
  EXPECT_EQ(hexText(-1), "FFFFFFFF");
}

TEST(NumberToText, PercentThirteenG) {
  struct Case {
    double value;
    Text expected;
  };
  const Case cases[] = {
      {12.5, "12.5"},
      {100.0, "100"},
      {0.1, "0.1"},
      {-0.5, "-0.5"},
      {1.0 / 3, "0.3333333333333"},
      {99.99999999999999, "100"},
      {0, "0"},
      {1e13, "1e+013"},
      {0.00001, "1e-005"},
      {0.0001, "0.0001"},
      {9999999999999.0, "9999999999999"},
      {1.5e300, "1.5e+300"},
      {-2.5e-10, "-2.5e-010"},
  };
  for (const Case& c : cases) EXPECT_EQ(numberToText(c.value), c.expected) << c.value;
}

TEST(RoundNumber, HalvesGoAwayFromZero) {
  struct Case {
    double value;
    int digits;
    double expected;
  };
  const Case cases[] = {
      {2.675, 2, 2.68},  {1.005, 2, 1.01},    {-1.005, 2, -1.01}, {0.125, 2, 0.13},
      {2.5, 0, 3},       {-2.5, 0, -3},       {1250, -2, 1300},   {1249, -2, 1200},
      {0, 2, 0},         {4.8828125, 2, 4.88}, {33.333333, 2, 33.33}, {66.666666, 2, 66.67},
      {0.004, 2, 0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(roundNumber(c.value, c.digits), c.expected) << c.value << " at " << c.digits;
  }
  EXPECT_TRUE(std::isnan(roundNumber(std::nan(""), 2)));
  EXPECT_EQ(numberToText(roundNumber(1.0 / 800 * 100, 2)), "0.13");
}

// The quick form must write exactly what the long way writes.
TEST(RoundedToHundredthsText, AgreesWithRoundingThenFormatting) {
  const auto longWay = [](double value) { return numberToText(roundNumber(value, 2)); };
  std::vector<double> values = {0.0, -0.0, -0.001, 0.005, 1.005, 2.675, 12.5, 66.666666, 99.995,
                                100.0, 267.5, 4.8828125, 1000.0, 99999999999.994, 99999999999.995,
                                1e11, 1.5e15, -1e11, -2147483648.0 * 1000 / 1024,
                                std::numeric_limits<double>::infinity(), std::nan("")};
  for (int k = -20000; k <= 20000; ++k) values.push_back(k / 100.0 + k * 1e-7);
  std::uint64_t bits = 0x9E3779B97F4A7C15u;  // a fixed sweep over magnitudes, not random per run
  for (int i = 0; i < 100000; ++i) {
    bits = bits * 6364136223846793005u + 1442695040888963407u;
    const double scale = std::pow(10.0, static_cast<int>(bits >> 60) - 3);
    values.push_back(static_cast<double>(bits >> 11) / 9007199254740992.0 * scale * ((bits & 1) ? -1 : 1));
  }
  for (double value : values) ASSERT_EQ(roundedToHundredthsText(value), longWay(value)) << value;
}

TEST(TruncateToInt, TowardZeroAndOutOfRange) {
  constexpr auto kMostNegative = std::numeric_limits<std::int64_t>::min();
  const double infinity = std::numeric_limits<double>::infinity();
  EXPECT_EQ(truncateToInt(3.99), 3);
  EXPECT_EQ(truncateToInt(-3.99), -3);
  EXPECT_EQ(truncateToInt(-10000000.0), -10000000);
  EXPECT_EQ(truncateToInt(infinity), kMostNegative);
  EXPECT_EQ(truncateToInt(-infinity), kMostNegative);
  EXPECT_EQ(truncateToInt(std::nan("")), kMostNegative);
  EXPECT_EQ(truncateToInt(9.3e18), kMostNegative);
  EXPECT_EQ(truncateToInt(-9223372036854775808.0), kMostNegative);
  EXPECT_EQ(truncateToInt32(infinity), 0);
  EXPECT_EQ(truncateToInt32(66.67), 66);
  EXPECT_EQ(truncateToInt32(4294967297.0), 1) << "the low 32 bits";
}

}  // namespace
}  // namespace pindlewick
