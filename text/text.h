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
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pindlewick {

class Text;

// A read-only view of code page 936 text. A type of its own, like Text, so
// that UTF-8 and file-system strings never pass for it: they enter only
// through the conversions of text/codepage.h. Literals are taken as they
// stand (ASCII is the same in both; Chinese texts live in text/phrases.cpp).
class TextView {
 public:
  static constexpr std::size_t npos = std::string_view::npos;

  constexpr TextView() = default;
  template <std::size_t N>
  constexpr TextView(const char (&literal)[N]) : bytes_(literal) {}  // NOLINT: literals are text
  constexpr TextView(const char* data, std::size_t size) : bytes_(data, size) {}
  // Bytes known to be code page 936 already (read from the network, say).
  constexpr explicit TextView(std::string_view bytes) : bytes_(bytes) {}

  constexpr std::string_view bytes() const { return bytes_; }
  constexpr std::size_t size() const { return bytes_.size(); }
  constexpr bool empty() const { return bytes_.empty(); }
  constexpr const char* data() const { return bytes_.data(); }
  constexpr char operator[](std::size_t offset) const { return bytes_[offset]; }
  constexpr char front() const { return bytes_.front(); }
  constexpr char back() const { return bytes_.back(); }
  constexpr auto begin() const { return bytes_.begin(); }
  constexpr auto end() const { return bytes_.end(); }
  constexpr TextView substr(std::size_t offset, std::size_t count = npos) const {
    return TextView(bytes_.substr(offset, count));
  }
  constexpr std::size_t find(TextView what, std::size_t from = 0) const {
    return bytes_.find(what.bytes_, from);
  }
  constexpr bool starts_with(TextView prefix) const { return bytes_.starts_with(prefix.bytes_); }
  constexpr void remove_suffix(std::size_t count) { bytes_.remove_suffix(count); }

 private:
  std::string_view bytes_;
};

// Text in code page 936 (GBK) that never holds a zero byte.
class Text {
 public:
  static constexpr std::size_t npos = std::string::npos;

  Text() = default;
  template <std::size_t N>
  Text(const char (&literal)[N]) : bytes_(literal) {}  // NOLINT: literals are text
  Text(TextView text) : bytes_(text.bytes()) {}       // NOLINT: the same encoding
  Text(const char* data, std::size_t size) : bytes_(data, size) {}
  // Bytes known to be code page 936 already.
  explicit Text(std::string bytes) : bytes_(std::move(bytes)) {}

  operator TextView() const { return TextView(bytes_); }  // NOLINT: the same encoding
  const std::string& bytes() const { return bytes_; }

  std::size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  const char* data() const { return bytes_.data(); }
  const char* c_str() const { return bytes_.c_str(); }
  char operator[](std::size_t offset) const { return bytes_[offset]; }
  char back() const { return bytes_.back(); }
  auto begin() const { return bytes_.begin(); }
  auto end() const { return bytes_.end(); }
  TextView substr(std::size_t offset, std::size_t count = npos) const {
    return TextView(*this).substr(offset, count);
  }
  std::size_t find(TextView what, std::size_t from = 0) const { return bytes_.find(what.bytes(), from); }

  void clear() { bytes_.clear(); }
  void reserve(std::size_t size) { bytes_.reserve(size); }
  void push_back(char byte) { bytes_.push_back(byte); }
  Text& append(TextView more) {
    bytes_.append(more.bytes());
    return *this;
  }
  Text& operator+=(TextView more) { return append(more); }
  Text& operator+=(char byte) {
    bytes_.push_back(byte);
    return *this;
  }

 private:
  std::string bytes_;
};

// Texts compare byte by byte, a Text with a view or a literal alike.
constexpr bool operator==(TextView a, TextView b) { return a.bytes() == b.bytes(); }
constexpr auto operator<=>(TextView a, TextView b) { return a.bytes() <=> b.bytes(); }
inline Text operator+(TextView a, TextView b) { return Text(a).append(b); }
// Writes the bytes as they are, for logs and test messages.
std::ostream& operator<<(std::ostream& out, TextView text);

using Bytes = std::vector<std::uint8_t>;  // any bytes, zero included
using TextArray = std::vector<Text>;      // elements at positions 1..size

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
