// The charset adapter's cases, run against ICU on Linux and against Windows'
// own conversions on Windows with the same expected values. A row where the
// two differ carries the Windows value and says why.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "text/charset_codec.h"

namespace pindlewick::charset_codec {
namespace {

#ifdef _WIN32
constexpr bool kOnWindows = true;
#else
constexpr bool kOnWindows = false;
#endif

// The value a row expects here: its Windows value on Windows when it has one.
template <typename Value>
const Value& expectedHere(const Value& everywhere, const std::optional<Value>& onWindows) {
  return kOnWindows && onWindows ? *onWindows : everywhere;
}

std::string hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    text += {kDigits[byte >> 4], kDigits[byte & 0x0F], ' '};
  }
  return text;
}

std::string hex(std::u16string_view units) {
  std::string text;
  for (char16_t unit : units) text += std::to_string(unit) + ' ';
  return text;
}

using Units = std::optional<std::u16string>;

constexpr char16_t kLoneSurrogate = 0xD800;

TEST(CharsetAdapter, Decode) {
  struct Case {
    std::string_view bytes;
    std::string charset;
    Units expected;
    std::optional<Units> onWindows = std::nullopt;
  };
  const Case cases[] = {
      {"\xD6\xD0\xCE\xC4", "gbk", u"中文"},
      {"\x80", "windows-936-2000", u"€"},
      {"\xD6\xD0", "GBK", u"中"},
      {"\xE4\xB8\xAD", "UTF-8", u"中"},
      {"\xE4\xB8\xAD", "utf_8", u"中"},
      {"\xA4\xA4\xA4\xE5", "big5", u"中文"},
      {"\x92\x86\x95\xB6", "shift_jis", u"中文"},
      {"\xB0\xA1", "euc-kr", u"가"},
      {"\xE9", "iso-8859-1", u"é"},
      {"\x80", "windows-1252", u"€"},
      {"\xD6\xD0", "gb2312", u"中"},
      {"", "gbk", u""},
      {std::string_view("a\0b", 3), "gbk", std::u16string(u"a\0b", 3)},
      {"abc", "x-no-such-charset", std::nullopt},
      {"abc", "windows-", std::nullopt},
      {"\xFF", "UTF-8", u"\uFFFD"},
      // Bytes that are no GBK character: ICU writes U+FFFD and reads a
      // trail byte that cannot be one as a character of its own; Windows
      // writes one "?" for the pair.
      {"\x81\x7F", "windows-936-2000", u"\uFFFD\x7F", u"?"},
      {"\x81", "windows-936-2000", u"\uFFFD", u"?"},
      {"\xFF", "windows-936-2000", u"\uF8F5"},  // the Windows table's private-use mapping
      // Not in GB 2312 proper (丂 is a GBK extension): ICU reads two single
      // bytes. Wine has no GB 2312 code page (20936), so GBK stands in for
      // it and reads 丂.
      {"\x81\x40", "gb2312", u"\u0081@", u"丂"},
  };
  for (const Case& c : cases) {
    const Units expected = expectedHere(c.expected, c.onWindows);
    const Units decoded = decode(c.bytes, c.charset);
    EXPECT_EQ(decoded.has_value(), expected.has_value()) << c.charset << ": " << hex(c.bytes);
    if (decoded && expected) {
      EXPECT_EQ(hex(*decoded), hex(*expected)) << c.charset << ": " << hex(c.bytes);
    }
  }
}

TEST(CharsetAdapter, Encode) {
  using Bytes = std::optional<std::string>;
  struct Case {
    std::u16string units;
    std::string charset;
    Bytes expected;
    std::optional<Bytes> onWindows = std::nullopt;
  };
  const Case cases[] = {
      {u"中文", "windows-936-2000", "\xD6\xD0\xCE\xC4"},
      {u"€", "windows-936-2000", "\x80"},
      {u"中", "UTF-8", "\xE4\xB8\xAD"},
      {u"", "windows-936-2000", ""},
      {u"x", "x-no-such-charset", std::nullopt},
      // Characters GBK lacks become "?", never a look-alike (Windows' "best
      // fit" would write ￠ for ¢, ￥ for ¥ and a for ā's neighbours).
      {u"\u0E01", "windows-936-2000", "?"},
      {u"\u00A2\u00A5", "windows-936-2000", "??"},
      {u"\u0101\u0100", "windows-936-2000", "\xA8\xA1?"},
      {{kLoneSurrogate}, "windows-936-2000", "?"},
      // One "?" for a character past U+FFFF, not one for each of its halves.
      {u"a\U0001F3ACb", "windows-936-2000", "a?b"},
      {u"\U0001F3AC", "UTF-8", "\xF0\x9F\x8E\xAC"},
      // ICU drops a soft hyphen (a default-ignorable character); Windows has
      // no mapping for it and writes "?".
      {u"a\u00ADb", "windows-936-2000", "ab", "a?b"},
      // A lone surrogate in UTF-8: ICU's "?", Windows' U+FFFD.
      {{u'a', kLoneSurrogate, u'b'}, "UTF-8", "a?b", "a\xEF\xBF\xBD" "b"},
  };
  for (const Case& c : cases) {
    const Bytes expected = expectedHere(c.expected, c.onWindows);
    const Bytes encoded = encode(c.units, c.charset);
    EXPECT_EQ(encoded.has_value(), expected.has_value()) << c.charset << ": " << hex(c.units);
    if (encoded && expected) {
      EXPECT_EQ(hex(*encoded), hex(*expected)) << c.charset << ": " << hex(c.units);
    }
  }
}

TEST(CharsetAdapter, ComposeJoinsOnlyCombiningMarks) {
  struct Case {
    std::u16string_view units;
    std::u16string_view expected;
  };
  const Case cases[] = {
      {u"e\u0301", u"é"},
      {u"xA\u030Ay", u"xÅy"},
      {u"e\u0301\u0323", u"\u1EB9\u0301"},  // marks put in canonical order first
      {u"\u0301a", u"\u0301a"},              // a mark with nothing before it stays
      {u"\uF900", u"\uF900"},                // a compatibility ideograph stays itself
      {u"\u212B", u"\u212B"},                // so does the Angstrom sign without marks
      {u"\u1100\u1161", u"\u1100\u1161"},    // Hangul jamo are not marks
      {u"\U0001D400\u0301", u"\U0001D400\u0301"},
      {u"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(hex(compose(c.units)), hex(c.expected)) << hex(c.units);
  }
}

}  // namespace
}  // namespace pindlewick::charset_codec
