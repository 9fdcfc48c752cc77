// Numbers read from and written as text, and the rounding and truncation rules
// the progress display relies on.
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>

#include "text/text.h"

namespace pindlewick {
namespace {

// Full-width forms that read as their one-byte equivalents, so that numbers
// typed with an input method still count. Returns 0 when there is none.
char oneByteEquivalent(std::uint8_t lead, std::uint8_t trail) {
  if (lead == 0xA1) {
    switch (trail) {
      case 0xA1: return ' ';
      case 0xAB: return '~';
      case 0xEE:
      case 0xEF: return '*';
      default: return 0;
    }
  }
  if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) return static_cast<char>(trail - 0x80);
  return 0;
}

Text normaliseFullWidth(TextView text) {
  Text normal;
  normal.reserve(text.size());
  for (std::size_t offset = 0; offset < text.size();) {
    const auto lead = static_cast<std::uint8_t>(text[offset]);
    if (lead < 0x80) {
      normal.push_back(text[offset++]);
      continue;
    }
    if (offset + 1 == text.size()) break;  // a broken last character is dropped
    const auto trail = static_cast<std::uint8_t>(text[offset + 1]);
    if (const char plain = oneByteEquivalent(lead, trail)) {
      normal.push_back(plain);
    } else {
      normal.append(text.substr(offset, 2));
    }
    offset += 2;
  }
  return normal;
}

bool isWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// "%.13g" writes at least two exponent digits here; the program has always
// shown three, as in 1e+013.
Text widenExponent(std::string formatted) {
  const std::size_t e = formatted.find('e');
  if (e != std::string::npos && e + 2 <= formatted.size()) {
    const std::size_t digits = formatted.size() - (e + 2);
    if (digits < 3) formatted.insert(e + 2, 3 - digits, '0');
  }
  return Text(std::move(formatted));
}

// 10^n, from a table where the power is exact and small enough to matter.
double powerOfTen(int exponent) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (exponent >= 0 && exponent < static_cast<int>(std::size(kPowers))) return kPowers[exponent];
  return std::pow(10.0, exponent);
}

double roundToWhole(double magnitude) {
  double whole = 0;
  const double fraction = std::modf(magnitude + 1e-12, &whole);
  return fraction >= 0.5 ? whole + 1 : whole;
}

}  // namespace

int textToInt(TextView text) {
  const Text normal = normaliseFullWidth(text);
  std::size_t offset = 0;
  while (offset < normal.size() && isWhiteSpace(normal[offset])) ++offset;
  bool negative = false;
  if (offset < normal.size() && (normal[offset] == '-' || normal[offset] == '+')) {
    negative = normal[offset] == '-';
    ++offset;
  }
  std::uint32_t value = 0;  // wraps modulo 2^32, as the program always has
  for (; offset < normal.size() && normal[offset] >= '0' && normal[offset] <= '9'; ++offset) {
    value = value * 10u + static_cast<std::uint32_t>(normal[offset] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

Text intToText(int value) { return Text(std::to_string(value)); }

Text numberToText(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.13g", value);
  return widenExponent(buffer);
}

double roundNumber(double value, int digits) {
  if (value == 0 || std::isnan(value)) return value;
  const double magnitude = std::fabs(value);
  double rounded = 0;
  if (digits > 0) {
    const double scale = powerOfTen(digits);
    const double scaled = magnitude * scale;
    rounded = roundToWhole(scaled) / scale;
  } else if (digits == 0) {
    rounded = roundToWhole(magnitude);
  } else {
    const double scale = powerOfTen(-digits);
    const double scaled = magnitude / scale;
    rounded = roundToWhole(scaled) * scale;
  }
  return std::copysign(rounded, value);
}

Text roundedToHundredthsText(double value) {
  const double rounded = roundNumber(value, 2);
  // Below 1e11 the rounded value is the double nearest k/100 for a whole k of
  // at most 13 digits, which "%.13g" writes digit for digit; spare the
  // progress row the printf machinery for it. Anything else takes the long way.
  if (!(std::fabs(rounded) < 1e11)) return numberToText(rounded);
  const auto hundredths = static_cast<std::uint64_t>(std::llround(std::fabs(rounded) * 100));
  std::string text = std::signbit(rounded) ? "-" : "";
  text += std::to_string(hundredths / 100);
  const auto fraction = static_cast<unsigned>(hundredths % 100);
  if (fraction != 0) {
    text += '.';
    text += static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
  }
  return Text(std::move(text));
}

std::int64_t truncateToInt(double value) {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (std::isnan(value) || value >= kLimit || value < -kLimit) {
    return std::numeric_limits<std::int64_t>::min();
  }
  return static_cast<std::int64_t>(value);
}

int truncateToInt32(double value) {
  return static_cast<int>(static_cast<std::uint32_t>(truncateToInt(value)));
}

Text hexText(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(value));
  return buffer;
}

}  // namespace pindlewick
