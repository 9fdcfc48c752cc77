#include "text/text.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <ostream>

namespace pindlewick {
namespace {

constexpr std::uint8_t kSpace = 0x20;
constexpr std::uint8_t kFullWidthSpaceByte = 0xA1;  // A1 A1 is the full-width space

std::uint8_t byteAt(TextView text, std::size_t offset) {
  return static_cast<std::uint8_t>(text[offset]);
}

bool isLeadByte(std::uint8_t byte) { return byte >= 0x80; }

// Width of the GBK character at offset: 2 for a two-byte character, 1 for any
// other byte, 0 for a broken character (a lead byte with nothing after it).
std::size_t characterWidth(TextView text, std::size_t offset) {
  if (!isLeadByte(byteAt(text, offset))) return 1;
  return offset + 1 < text.size() ? 2 : 0;
}

std::uint8_t foldLetter(std::uint8_t byte) {
  return (byte >= 'A' && byte <= 'Z') ? static_cast<std::uint8_t>(byte + ('a' - 'A')) : byte;
}

bool equalFolded(TextView a, TextView b) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (foldLetter(byteAt(a, i)) != foldLetter(byteAt(b, i))) return false;
  }
  return true;
}

// Whether `what` stands in `text` at offset; the caller makes sure it fits.
bool matchesAt(TextView text, std::size_t offset, TextView what, bool foldCase) {
  const TextView here = text.substr(offset, what.size());
  if (foldCase) return equalFolded(here, what);
  return here.front() == what.front() && here == what;
}

bool isSpaceAt(TextView text, std::size_t offset) {
  const std::uint8_t byte = byteAt(text, offset);
  if (byte == kSpace) return true;
  return byte == kFullWidthSpaceByte && offset + 1 < text.size() &&
         byteAt(text, offset + 1) == kFullWidthSpaceByte;
}

int sign(int value) { return (value > 0) - (value < 0); }

// A 1-based start position as a 0-based offset, never negative.
std::size_t startOffset(std::optional<int> start) {
  if (!start) return 0;
  return static_cast<std::size_t>(std::max<std::int64_t>(std::int64_t{*start} - 1, 0));
}

}  // namespace

IndexFault::IndexFault(int number)
    : std::out_of_range(number == kBelowStart ? "index fault 4: position below 1"
                                              : "index fault 1: position past the end"),
      number_(number) {}

std::ostream& operator<<(std::ostream& out, TextView text) { return out << text.bytes(); }

int textLength(TextView text) { return static_cast<int>(text.size()); }

Text concatText(std::initializer_list<TextView> parts) {
  std::size_t total = 0;
  for (TextView part : parts) total += part.size();
  Text joined;
  joined.reserve(total);
  for (TextView part : parts) joined.append(part);
  return joined;
}

int compareRaw(TextView a, TextView b) { return sign(a.bytes().compare(b.bytes())); }

int compareText(TextView a, TextView b, bool caseSensitive) {
  if (caseSensitive) return compareRaw(a, b);
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const int difference = foldLetter(byteAt(a, i)) - foldLetter(byteAt(b, i));
    if (difference != 0) return sign(difference);
  }
  return sign(static_cast<int>(a.size() > b.size()) - static_cast<int>(a.size() < b.size()));
}

Text textLeft(TextView text, int count) {
  if (count <= 0) return {};
  return Text(text.substr(0, static_cast<std::size_t>(count)));
}

Text textRight(TextView text, int count) {
  if (count <= 0) return {};
  const std::size_t kept = std::min(text.size(), static_cast<std::size_t>(count));
  return Text(text.substr(text.size() - kept));
}

Text textMid(TextView text, int start, int count) {
  if (start < 1 || static_cast<std::size_t>(start) > text.size() || count <= 0) return {};
  return Text(text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(count)));
}

int findText(TextView text, TextView what, std::optional<int> start, bool ignoreCase) {
  std::size_t offset = startOffset(start);
  if (offset >= text.size()) return -1;
  if (what.empty()) return 1;
  while (offset + what.size() <= text.size()) {
    if (matchesAt(text, offset, what, ignoreCase)) return static_cast<int>(offset) + 1;
    const std::size_t width = characterWidth(text, offset);
    if (width == 0) return -1;
    offset += width;
  }
  return -1;
}

Text replaceText(TextView text, TextView what, TextView with, std::optional<int> start,
                 std::optional<int> count, bool caseSensitive) {
  std::size_t offset = startOffset(start);
  const bool limited = count.has_value() && *count >= 0;
  int remaining = limited ? *count : 0;
  if (text.empty() || what.empty() || offset >= text.size() || (limited && remaining == 0)) {
    return Text(text);
  }
  Text result(text.substr(0, offset));
  result.reserve(text.size());
  while (offset + what.size() <= text.size() && !(limited && remaining == 0)) {
    if (matchesAt(text, offset, what, !caseSensitive)) {
      result.append(with);
      offset += what.size();
      if (limited) --remaining;
      continue;
    }
    // A broken character is copied as the single byte it is.
    const std::size_t width = std::max<std::size_t>(characterWidth(text, offset), 1);
    result.append(text.substr(offset, width));
    offset += width;
  }
  result.append(text.substr(offset));
  return result;
}

TextArray splitText(TextView text, TextView delimiter, std::optional<int> maxPieces) {
  const bool limited = maxPieces.has_value();
  int remaining = limited ? std::max(*maxPieces, 0) : 0;
  TextArray pieces;
  if (text.empty() || (limited && remaining == 0)) return pieces;
  if (delimiter.empty()) return {Text(text)};

  std::size_t pieceStart = 0;
  std::size_t offset = 0;
  while (offset + delimiter.size() <= text.size()) {
    if (matchesAt(text, offset, delimiter, false)) {
      pieces.emplace_back(text.substr(pieceStart, offset - pieceStart));
      offset += delimiter.size();
      pieceStart = offset;
      if (limited && --remaining == 0) return pieces;
      continue;
    }
    const std::size_t width = characterWidth(text, offset);
    if (width == 0) break;
    offset += width;
  }
  if (pieceStart < text.size()) pieces.emplace_back(text.substr(pieceStart));
  return pieces;
}

Text trimSpaces(TextView text) {
  std::size_t begin = 0;
  while (begin < text.size() && isSpaceAt(text, begin)) begin += characterWidth(text, begin);

  std::size_t trailingRun = text.size();  // start of the run of spaces reaching the end
  for (std::size_t offset = begin; offset < text.size();) {
    const std::size_t width = characterWidth(text, offset);
    if (width == 0) {  // a broken last character is dropped; spaces before it stay
      trailingRun = offset;
      break;
    }
    if (!isSpaceAt(text, offset)) {
      trailingRun = text.size();
    } else if (trailingRun == text.size()) {
      trailingRun = offset;
    }
    offset += width;
  }
  return Text(text.substr(begin, trailingRun - begin));
}

Text removeSpaces(TextView text) {
  Text result;
  result.reserve(text.size());
  for (std::size_t offset = 0; offset < text.size();) {
    const std::size_t width = characterWidth(text, offset);
    if (width == 0) break;  // a broken last character is dropped
    if (!isSpaceAt(text, offset)) result.append(text.substr(offset, width));
    offset += width;
  }
  return result;
}

Text charFromCode(std::uint8_t code) {
  if (code == 0) return {};
  return Text(std::string(1, static_cast<char>(code)));
}

Bytes textToBytes(TextView text) { return Bytes(text.begin(), text.end()); }

Text bytesToText(const void* data, std::size_t size) {
  const char* begin = static_cast<const char*>(data);
  const void* zero = size == 0 ? nullptr : std::memchr(begin, 0, size);
  return Text(begin, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - begin) : size);
}

Text bytesToText(const Bytes& bytes) { return bytesToText(bytes.data(), bytes.size()); }

int bytesLength(const Bytes& bytes) { return static_cast<int>(bytes.size()); }

Bytes bytesLeft(const Bytes& bytes, int count) {
  const std::size_t kept = std::min(bytes.size(), static_cast<std::size_t>(std::max(count, 0)));
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(kept));
}

Bytes blankBytes(int count) { return Bytes(static_cast<std::size_t>(std::max(count, 0)), 0); }

Text blankText(int count) { return Text(std::string(static_cast<std::size_t>(std::max(count, 0)), ' ')); }

Bytes bytesFromMemory(const void* address, int count) {
  if (count <= 0 || address == nullptr) return {};
  const auto* begin = static_cast<const std::uint8_t*>(address);
  return Bytes(begin, begin + count);
}

int arraySize(const TextArray& array) { return static_cast<int>(array.size()); }

int arraySize(const Bytes& bytes) { return static_cast<int>(bytes.size()); }

namespace {
// The position is checked before anything is read, the lower bound first.
std::size_t checkedIndex(std::size_t size, int position) {
  if (position < 1) throw IndexFault(IndexFault::kBelowStart);
  if (static_cast<std::size_t>(position) > size) throw IndexFault(IndexFault::kPastEnd);
  return static_cast<std::size_t>(position) - 1;
}
}  // namespace

Text elementAt(const TextArray& array, int position) {
  return array[checkedIndex(array.size(), position)];
}

std::uint8_t elementAt(const Bytes& bytes, int position) {
  return bytes[checkedIndex(bytes.size(), position)];
}

void appendText(TextArray& array, TextView text) { array.emplace_back(text); }

}  // namespace pindlewick
