// Conversion between code page 936 (GBK), UTF-16LE and UTF-8, and the
// percent-encoding of form values.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

namespace pindlewick {

// UTF-16LE code units, two bytes each, normally ending with one zero unit
// that counts in the length.
using WideBytes = Bytes;

inline constexpr int kCodePageAnsi = 0;  // the system code page, which is 936 here
inline constexpr int kCodePageGbk = 936;
inline constexpr int kCodePageUtf8 = 65001;

// Multibyte text in codePage (65001 when not given) to terminated UTF-16LE.
WideBytes ansiToWide(TextView text, std::optional<int> codePage = std::nullopt);
// UTF-16LE up to its first zero unit to text in codePage (0 when not given).
Text wideToMultiByte(const WideBytes& wide, std::optional<int> codePage = std::nullopt);
// GBK to UTF-8, for texts that leave for the window, the terminal, the file
// system or the network.
std::string gbkToUtf8(TextView text);
// UTF-8 to GBK, for texts that enter from outside; characters GBK cannot hold
// become "?".
Text utf8ToGbk(std::string_view utf8);
// GBK to UTF-16LE with its terminator (unless dropped); "" gives no bytes at all.
WideBytes gbkToWide(TextView text, bool dropTerminator = false);
// Every whole unit of wide to GBK, cut at the first zero byte.
Text wideToGbk(const WideBytes& wide);
// The same two conversions on UTF-16 code units in memory order, for callers
// that work on units rather than on little-endian bytes: GBK up to its first
// zero byte to units without a terminator, and units back to GBK (characters
// GBK cannot hold become "?"), cut at the first zero byte.
std::u16string gbkToUnits(TextView text);
Text unitsToGbk(std::u16string_view units);
// Percent-encoding with upper-case hex digits; keepAlnum leaves '-', '.', digits
// and ASCII letters as they are, utf8 encodes the text's UTF-8 bytes.
Text urlEncode(TextView text, bool keepAlnum = false, bool utf8 = false);

}  // namespace pindlewick
