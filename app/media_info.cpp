#include "app/media_info.h"

#include "text/phrases.h"

namespace pindlewick {
namespace {

// Markers of the answer page.
constexpr TextView kOptionEnd = "</option>";
constexpr TextView kValue = "value=\"";
constexpr TextView kQuoteClose = "\">";
constexpr TextView kQuery = "?";
constexpr TextView kDot = ".";
constexpr TextView kQuote = "\"";

// Piece `position` of the text split at the marker, if there are that many.
std::optional<Text> piece(const std::optional<Text>& text, TextView marker, int position) {
  if (!text) return std::nullopt;
  const TextArray pieces = splitText(*text, marker);
  if (position > arraySize(pieces)) return std::nullopt;
  return elementAt(pieces, position);
}

std::optional<Text> lastPiece(const std::optional<Text>& text, TextView marker) {
  if (!text) return std::nullopt;
  const TextArray pieces = splitText(*text, marker);
  if (pieces.empty()) return std::nullopt;
  return pieces.back();
}

// Whether a two-byte GBK character starts at offset. A lead byte followed by
// anything else is decoded on its own, and the byte after it too: "\x81/"
// reaches the file system as a replacement character and a real "/".
bool twoByteCharacterAt(TextView text, std::size_t offset) {
  if (offset + 1 >= text.size()) return false;
  const auto lead = static_cast<std::uint8_t>(text[offset]);
  const auto trail = static_cast<std::uint8_t>(text[offset + 1]);
  return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

}  // namespace

std::optional<MediaInfo> extractMediaInfo(TextView page) {
  const std::optional<Text> whole = Text(page);
  const auto formatPart = piece(whole, phrase(Phrase::formatMp4), 2);
  const auto optionPart = piece(formatPart, kOptionEnd, 2);
  const auto valuePart = piece(optionPart, kValue, 2);
  const auto mediaLink = piece(valuePart, kQuoteClose, 1);
  const auto linkWithoutQuery = piece(mediaLink, kQuery, 1);
  const auto extension = lastPiece(linkWithoutQuery, kDot);

  const auto titlePart = piece(whole, phrase(Phrase::titleMarker), 2);
  const auto titleField = piece(titlePart, phrase(Phrase::descriptionMarker), 1);
  const auto titleValue = piece(titleField, kValue, 2);
  const auto title = piece(titleValue, kQuote, 1);

  if (!extension || !title) return std::nullopt;
  return MediaInfo{*mediaLink, *extension, *title};
}

bool staysInFolder(TextView fileNamePart) {
  if (fileNamePart == "." || fileNamePart == "..") return false;
  for (std::size_t offset = 0; offset < fileNamePart.size();) {
    if (twoByteCharacterAt(fileNamePart, offset)) {
      offset += 2;  // its second byte may be 0x5C and still no backslash
      continue;
    }
    const auto byte = static_cast<std::uint8_t>(fileNamePart[offset]);
    if (byte == '/' || byte == '\\' || byte < 0x20 || byte == 0x7F) return false;
    ++offset;
  }
  return true;
}

}  // namespace pindlewick
