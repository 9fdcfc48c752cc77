#include "site/file_name.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "text/reserved_characters.h"

namespace pindlewick::site {
namespace {

constexpr std::string_view kExtension = ".mp4";

constexpr std::array<std::string_view, 3> kBlanks = {" ", "\u00A0", "\u3000"};

// The length of the UTF-8 sequence at the start of text (0 when the bytes
// there are not one), and the code point it holds.
struct Utf8Char {
  std::size_t length = 0;
  char32_t codePoint = 0;
};

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

Utf8Char firstChar(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) return {1, lead};
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || text.size() < length) return {};
  char32_t codePoint = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!isContinuation(byte)) return {};
    codePoint = (codePoint << 6) | (byte & 0x3F);
  }
  constexpr char32_t kShortestOf[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < kShortestOf[length] || codePoint > 0x10FFFF || surrogate) return {};
  return {length, codePoint};
}

bool isControl(char32_t codePoint) { return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F); }

// Reserved characters replaced; control characters and bytes that are not
// UTF-8 dropped.
std::string storableCharacters(std::string_view text) {
  std::string storable;
  while (!text.empty()) {
    const Utf8Char c = firstChar(text);
    if (c.length == 0) {
      text.remove_prefix(1);
      continue;
    }
    if (const std::string_view fullWidth = fullWidthOfReserved(c.codePoint); !fullWidth.empty()) {
      storable += fullWidth;
    } else if (!isControl(c.codePoint)) {
      storable += text.substr(0, c.length);
    }
    text.remove_prefix(c.length);
  }
  return storable;
}

bool dropPrefix(std::string_view& text, std::string_view prefix) {
  if (!text.starts_with(prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

bool dropSuffix(std::string_view& text, std::string_view suffix) {
  if (!text.ends_with(suffix)) return false;
  text.remove_suffix(suffix.size());
  return true;
}

bool dropBlank(std::string_view& text, bool (*drop)(std::string_view&, std::string_view)) {
  return std::any_of(kBlanks.begin(), kBlanks.end(), [&](std::string_view blank) { return drop(text, blank); });
}

std::string_view trimmed(std::string_view text) {
  while (dropBlank(text, dropPrefix)) {
  }
  while (dropBlank(text, dropSuffix) || dropSuffix(text, ".")) {
  }
  return text;
}

// text cut to at most limit bytes, never inside a UTF-8 sequence.
std::string_view cutOnCharacter(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && isContinuation(static_cast<unsigned char>(text[end]))) --end;
  return text.substr(0, end);
}

std::string withExtension(std::string_view stem, std::string_view suffix = {}) {
  const std::size_t room = kLongestFileName - kExtension.size() - suffix.size();
  return std::string(cutOnCharacter(stem, room)) + std::string(suffix) + std::string(kExtension);
}

std::string zeroPadded(int number, int width) {
  std::string digits = std::to_string(number);
  if (digits.size() < static_cast<std::size_t>(width)) digits.insert(0, width - digits.size(), '0');
  return digits;
}

std::string foldedAscii(std::string_view name) {
  std::string folded(name);
  std::transform(folded.begin(), folded.end(), folded.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return folded;
}

}  // namespace

std::string partFileName(std::string_view videoTitle, std::string_view partTitle, int number,
                         int partCount) {
  const std::string title = storableCharacters(partCount > 1 ? partTitle : videoTitle);
  const std::string_view cleanTitle = trimmed(title);
  if (partCount <= 1) {
    return withExtension(cleanTitle.empty() ? "P" + std::to_string(number) : std::string(cleanTitle));
  }
  const std::string prefix = "P" + zeroPadded(number, static_cast<int>(std::to_string(partCount).size()));
  return withExtension(cleanTitle.empty() ? prefix : prefix + " " + std::string(cleanTitle));
}

std::string BatchNames::claim(const std::string& key, const std::string& name) {
  if (const auto given = byKey_.find(key); given != byKey_.end()) return given->second;
  std::string chosen = name;
  std::string_view stem = name;
  dropSuffix(stem, kExtension);
  for (int copy = 2; takenFolded_.contains(foldedAscii(chosen)); ++copy) {
    chosen = withExtension(stem, " (" + std::to_string(copy) + ")");
  }
  takenFolded_.insert(foldedAscii(chosen));
  byKey_.emplace(key, chosen);
  return chosen;
}

}  // namespace pindlewick::site
