// Text values and the text library every other part of the program uses.
//
// A Text is a byte string in code page 936 (GBK) that never holds a zero byte.
// Positions count bytes from 1; searches give -1 for "not found"; positions and
// lengths outside a value are clamped, never errors. A missing text is simply
// the empty text: nothing here tells the two apart.
//
// The scanning operations step through a text by GBK characters: a byte of 0x80
// or above together with the byte after it is one two-byte character, so a
// match never starts on the second byte of a two-byte character. A lead byte
// directly before the end of the text is a "broken" character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pindlewick {

using Text = std::string;              // code page 936, no zero byte
using TextView = std::string_view;     // read-only argument form of a Text
using Bytes = std::vector<std::uint8_t>;  // any bytes, zero included
using TextArray = std::vector<Text>;   // elements at positions 1..size

// Reading an element outside 1..size. The number is the one the program has
// always reported: 4 for a position below 1, 1 for a position above the size.
class IndexFault : public std::out_of_range {
 public:
  static constexpr int kBelowStart = 4;
  static constexpr int kPastEnd = 1;

  explicit IndexFault(int number);
  int number() const noexcept { return number_; }

 private:
  int number_;
};

// --- lengths, joining, comparing -------------------------------------------

int textLength(TextView text);
Text concatText(std::initializer_list<TextView> parts);
int compareRaw(TextView a, TextView b);
int compareText(TextView a, TextView b, bool caseSensitive);

// --- cutting ----------------------------------------------------------------

Text textLeft(TextView text, int count);
Text textRight(TextView text, int count);
Text textMid(TextView text, int start, int count);

// --- searching and rewriting --------------------------------------------------

// Note the opposite senses of the case flags: findText's flag means "ignore
// case", replaceText's means "match case exactly".
int findText(TextView text, TextView what, std::optional<int> start, bool ignoreCase);
Text replaceText(TextView text, TextView what, TextView with, std::optional<int> start,
                 std::optional<int> count, bool caseSensitive);
TextArray splitText(TextView text, TextView delimiter = ",",
                    std::optional<int> maxPieces = std::nullopt);

// Spaces are 0x20 and the full-width space A1 A1; nothing else.
Text trimSpaces(TextView text);
Text removeSpaces(TextView text);

// --- numbers as text ------------------------------------------------------------

int textToInt(TextView text);
Text intToText(int value);
Text numberToText(double value);
double roundNumber(double value, int digits = 0);
// numberToText(roundNumber(value, 2)), quicker for the values a progress row shows.
Text roundedToHundredthsText(double value);
std::int64_t truncateToInt(double value);
// The low 32 bits of truncateToInt, where the program needs a 32-bit integer.
int truncateToInt32(double value);
Text hexText(int value);

template <typename... Ints>
int bitAnd(int first, Ints... rest) {
  return (first & ... & rest);
}

template <typename... Ints>
int bitOr(int first, Ints... rest) {
  return (first | ... | rest);
}

// --- bytes ------------------------------------------------------------------

Text charFromCode(std::uint8_t code);
Bytes textToBytes(TextView text);
// The bytes before the first zero byte, or all of them.
Text bytesToText(const Bytes& bytes);
Text bytesToText(const void* data, std::size_t size);
int bytesLength(const Bytes& bytes);
Bytes bytesLeft(const Bytes& bytes, int count);
Bytes blankBytes(int count);
Text blankText(int count);
template <typename... Parts>
Bytes concatBytes(const Parts&... parts) {
  Bytes joined;
  joined.reserve((parts.size() + ... + 0));
  (joined.insert(joined.end(), parts.begin(), parts.end()), ...);
  return joined;
}
Bytes bytesFromMemory(const void* address, int count);

// --- arrays -----------------------------------------------------------------

int arraySize(const TextArray& array);
int arraySize(const Bytes& bytes);
// Element p (1-based); throws IndexFault outside 1..size.
Text elementAt(const TextArray& array, int position);
std::uint8_t elementAt(const Bytes& bytes, int position);
void appendText(TextArray& array, TextView text);

}  // namespace pindlewick
