// Code-page conversion on ICU. Characters a target cannot hold become "?",
// as the Windows conversions this program was first written on do.
#include "text/codepage.h"

#include <string>

#include "text/charset_codec.h"

namespace pindlewick {
namespace {

std::string charsetOf(int codePage) {
  switch (codePage) {
    case kCodePageAnsi:
    case kCodePageGbk: return "windows-936-2000";  // the Windows table: 0x80 is the euro sign
    case kCodePageUtf8: return "UTF-8";
    default: return "windows-" + std::to_string(codePage);
  }
}

TextView untilZero(TextView text) { return text.substr(0, text.bytes().find('\0')); }

// An unknown code page converts to nothing, as the Windows calls give nothing.
std::u16string toUtf16(TextView text, int codePage) {
  return charset_codec::decode(text.bytes(), charsetOf(codePage)).value_or(std::u16string{});
}

Text fromUtf16(std::u16string_view units, int codePage) {
  return Text(charset_codec::encode(units, charsetOf(codePage)).value_or(std::string{}));
}

WideBytes littleEndianTerminated(std::u16string_view units, bool withTerminator) {
  WideBytes wide;
  wide.reserve(2 * units.size() + 2);
  for (char16_t unit : units) {
    wide.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    wide.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  if (withTerminator) wide.insert(wide.end(), {0, 0});
  return wide;
}

std::u16string unitsOf(const WideBytes& wide) {
  std::u16string units(wide.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(wide[2 * i] | (wide[2 * i + 1] << 8));
  }
  return units;
}

}  // namespace

WideBytes ansiToWide(TextView text, std::optional<int> codePage) {
  const std::u16string units = toUtf16(untilZero(text), codePage.value_or(kCodePageUtf8));
  return littleEndianTerminated(units, true);
}

Text wideToMultiByte(const WideBytes& wide, std::optional<int> codePage) {
  const std::u16string units = unitsOf(wide);
  const std::u16string_view beforeTerminator =
      std::u16string_view(units).substr(0, units.find(u'\0'));
  return fromUtf16(beforeTerminator, codePage.value_or(kCodePageAnsi));
}

std::string gbkToUtf8(TextView text) {
  return wideToMultiByte(ansiToWide(text, kCodePageGbk), kCodePageUtf8).bytes();
}

Text utf8ToGbk(std::string_view utf8) {
  const Text converted = fromUtf16(toUtf16(TextView(utf8), kCodePageUtf8), kCodePageGbk);
  return bytesToText(converted.data(), converted.size());
}

WideBytes gbkToWide(TextView text, bool dropTerminator) {
  if (untilZero(text).empty()) return {};
  return littleEndianTerminated(gbkToUnits(text), !dropTerminator);
}

Text wideToGbk(const WideBytes& wide) { return unitsToGbk(unitsOf(wide)); }

std::u16string gbkToUnits(TextView text) { return toUtf16(untilZero(text), kCodePageGbk); }

Text unitsToGbk(std::u16string_view units) {
  const Text converted = fromUtf16(charset_codec::compose(units), kCodePageGbk);
  return bytesToText(converted.data(), converted.size());
}

Text urlEncode(TextView text, bool keepAlnum, bool utf8) {
  if (text.empty()) return {};
  const std::string source = utf8 ? gbkToUtf8(text) : std::string(untilZero(text).bytes());
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  Text encoded;
  encoded.reserve(source.size() * 3);
  for (char c : source) {
    const auto byte = static_cast<std::uint8_t>(c);
    const bool kept = (byte >= '-' && byte <= '9' && byte != '/') ||
                      (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
    if (keepAlnum && kept) {
      encoded.push_back(c);
    } else {
      encoded.push_back('%');
      encoded.push_back(kHexDigits[byte >> 4]);
      encoded.push_back(kHexDigits[byte & 0x0F]);
    }
  }
  return encoded;
}

}  // namespace pindlewick
