// Windows implementation of the charset adapter: Windows' own code-page
// conversions and normalization instead of ICU. Charset names resolve through
// a table of the names pages declare and the names the code-page layer asks
// for ("windows-936-2000", "UTF-8", "windows-N"), compared as ICU compares
// them: case, '-', '_' and spaces do not count.
#include <windows.h>

#include <cctype>
#include <charconv>
#include <climits>
#include <optional>
#include <string>
#include <string_view>

#include "text/charset_codec.h"

namespace pindlewick::charset_codec {
namespace {

constexpr UINT kUtf8 = 65001;
constexpr UINT kGb18030 = 54936;

struct NamedCodePage {
  std::string_view name;  // compared after canonicalName()
  UINT codePage;
  UINT fallback = 0;  // where codePage is not installed, a superset that is
};

// The names a page may declare that do not end in their code page's number.
constexpr NamedCodePage kCodePages[] = {
    {"utf8", kUtf8},
    {"unicode11utf8", kUtf8},
    {"gbk", 936},
    {"cp936", 936},
    {"ms936", 936},
    {"windows9362000", 936},  // the code-page layer's own name for 936
    // The GB 2312 table proper, without GBK's extension; where Windows lacks
    // it, GBK, which agrees with it on every GB 2312 character.
    {"gb2312", 20936, 936},
    {"euccn", 20936, 936},
    {"csgb2312", 20936, 936},
    {"gb18030", kGb18030},
    {"big5", 950},
    {"csbig5", 950},
    {"shiftjis", 932},
    {"sjis", 932},
    {"mskanji", 932},
    {"csshiftjis", 932},
    {"windows31j", 932},
    {"eucjp", 20932},
    {"euckr", 949},
    {"ksc56011987", 949},
    {"iso2022jp", 50220},
    {"iso2022kr", 50225},
    {"hzgb2312", 52936},
    {"usascii", 20127},
    {"ascii", 20127},
    {"latin1", 28591},
    {"koi8r", 20866},
    {"koi8u", 21866},
    {"tis620", 874},
    {"macintosh", 10000},
};

// ISO 8859 parts and the code pages Windows gives them.
constexpr NamedCodePage kIso8859[] = {
    {"1", 28591}, {"2", 28592}, {"3", 28593}, {"4", 28594},   {"5", 28595},
    {"6", 28596}, {"7", 28597}, {"8", 28598}, {"9", 28599},   {"13", 28603},
    {"15", 28605},
};

std::string canonicalName(std::string_view name) {
  std::string canonical;
  for (char c : name) {
    if (c == '-' || c == '_' || c == ' ') continue;
    canonical.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return canonical;
}

std::optional<UINT> numberAfter(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix) || name.size() == prefix.size()) return std::nullopt;
  UINT number = 0;
  const char* end = name.data() + name.size();
  const auto [stop, error] = std::from_chars(name.data() + prefix.size(), end, number);
  if (error != std::errc{} || stop != end) return std::nullopt;
  return number;
}

std::optional<UINT> lookUp(std::string_view canonical) {
  for (const NamedCodePage& entry : kCodePages) {
    if (entry.name != canonical) continue;
    const bool installed = ::IsValidCodePage(entry.codePage) != 0;
    return installed || entry.fallback == 0 ? entry.codePage : entry.fallback;
  }
  if (canonical.starts_with("iso8859")) {
    const std::string_view part = canonical.substr(7);
    for (const NamedCodePage& entry : kIso8859) {
      if (entry.name == part) return entry.codePage;
    }
    return std::nullopt;
  }
  if (auto number = numberAfter(canonical, "windows")) return number;
  return numberAfter(canonical, "cp");
}

// The code page of a charset name that this Windows can convert.
std::optional<UINT> codePageOf(const std::string& charset) {
  const std::optional<UINT> codePage = lookUp(canonicalName(charset));
  if (!codePage || ::IsValidCodePage(*codePage) == 0) return std::nullopt;
  return codePage;
}

// Code pages whose conversions refuse every flag and a default character.
bool takesNoFlags(UINT codePage) {
  return codePage == kUtf8 || codePage == kGb18030 || codePage == 52936 ||
         (codePage >= 50220 && codePage <= 50229) || (codePage >= 57002 && codePage <= 57011);
}

const wchar_t* wide(const char16_t* units) { return reinterpret_cast<const wchar_t*>(units); }
wchar_t* wide(char16_t* units) { return reinterpret_cast<wchar_t*>(units); }

bool fitsInt(std::size_t size) { return size <= static_cast<std::size_t>(INT_MAX); }

// Whether the unit is a combining mark that composition joins to the
// character before it.
bool isCombiningMark(char16_t unit) {
  WORD type = 0;
  return ::GetStringTypeW(CT_CTYPE3, wide(&unit), 1, &type) != 0 && (type & C3_NONSPACING) != 0;
}

// The cluster normalized to NFC, or unchanged when Windows cannot.
std::u16string composed(std::u16string_view cluster) {
  const int length = static_cast<int>(cluster.size());
  int capacity = ::NormalizeString(NormalizationC, wide(cluster.data()), length, nullptr, 0);
  for (int attempt = 0; attempt < 3 && capacity > 0; ++attempt) {
    std::u16string result(static_cast<std::size_t>(capacity), u'\0');
    const int written =
        ::NormalizeString(NormalizationC, wide(cluster.data()), length, wide(result.data()), capacity);
    if (written > 0) {
      result.resize(static_cast<std::size_t>(written));
      return result;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    capacity = -written;  // the better estimate Windows gives back
  }
  return std::u16string(cluster);
}

}  // namespace

std::optional<std::u16string> decode(std::string_view bytes, const std::string& charset) {
  const std::optional<UINT> codePage = codePageOf(charset);
  if (!codePage) return std::nullopt;
  if (bytes.empty() || !fitsInt(bytes.size())) return std::u16string{};
  const int length = static_cast<int>(bytes.size());
  const int needed = ::MultiByteToWideChar(*codePage, 0, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return std::u16string{};
  std::u16string units(static_cast<std::size_t>(needed), u'\0');
  ::MultiByteToWideChar(*codePage, 0, bytes.data(), length, wide(units.data()), needed);
  return units;
}

// units with each surrogate pair as one "?": the code pages that take a
// default character hold nothing past U+FFFF, and Windows would write a "?"
// for each half where ICU writes one for the character.
std::u16string pairsAsQuestionMarks(std::u16string_view units) {
  std::u16string result;
  result.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const bool pair = i + 1 < units.size() && units[i] >= 0xD800 && units[i] <= 0xDBFF &&
                      units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF;
    result += pair ? u'?' : units[i];
    if (pair) ++i;
  }
  return result;
}

std::optional<std::string> encode(std::u16string_view original, const std::string& charset) {
  const std::optional<UINT> codePage = codePageOf(charset);
  if (!codePage) return std::nullopt;
  // Without WC_NO_BEST_FIT_CHARS Windows writes look-alikes (¥ for ￥, A for Ā)
  // where the code page lacks a character; "?" is what ICU gives.
  const bool plain = takesNoFlags(*codePage);
  const std::u16string units = plain ? std::u16string(original) : pairsAsQuestionMarks(original);
  if (units.empty() || !fitsInt(units.size())) return std::string{};
  const int length = static_cast<int>(units.size());
  const DWORD flags = plain ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* question = plain ? nullptr : "?";
  const int needed = ::WideCharToMultiByte(*codePage, flags, wide(units.data()), length, nullptr, 0,
                                           question, nullptr);
  if (needed <= 0) return std::string{};
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(*codePage, flags, wide(units.data()), length, bytes.data(), needed, question,
                        nullptr);
  return bytes;
}

std::u16string compose(std::u16string_view units) {
  std::u16string result;
  result.reserve(units.size());
  std::size_t next = 0;
  while (next < units.size()) {
    const std::size_t start = next;
    // The base: one code point, a surrogate pair staying whole.
    next += (IS_HIGH_SURROGATE(units[next]) && next + 1 < units.size() &&
             IS_LOW_SURROGATE(units[next + 1]))
                ? 2
                : 1;
    std::size_t end = next;
    while (end < units.size() && isCombiningMark(units[end])) ++end;
    const std::u16string_view cluster = units.substr(start, end - start);
    if (end == next) {
      result.append(cluster);
    } else {
      result.append(composed(cluster));
    }
    next = end;
  }
  return result;
}

}  // namespace pindlewick::charset_codec
