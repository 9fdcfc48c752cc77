#include "http/charset.h"

#include <string>
#include <string_view>

#include "text/codepage.h"
#include "text/events.h"
#include "text/charset_codec.h"

namespace pindlewick {
namespace {

constexpr TextView kMetaCharsetPattern = R"(<meta.+?charset=[^\w]?([-\w]+))";
constexpr int kSearchWindow = 1024;

// Names of the GB2312 family. Browsers read every one of them as code page
// 936, GBK's superset, so the page is already in the text's own encoding: a
// strict GB2312 table would lose every GBK-only character.
constexpr TextView kCodePage936Names[] = {"gb2312", "gb_2312",  "gb_2312-80", "gbk",      "x-gbk",
                                          "csgb2312", "euc-cn", "chinese",    "iso-ir-58"};

bool isCodePage936(TextView charset) {
  for (TextView name : kCodePage936Names) {
    if (compareText(charset, name, false) == 0) return true;
  }
  return false;
}

bool needsDecoding(TextView charset) { return !charset.empty() && !isCodePage936(charset); }

}  // namespace

Text decodeDeclaredCharset(RegexMatcher& matcher, Text text, const Bytes& body) {
  if (!matcher.search(kMetaCharsetPattern, textLeft(text, kSearchWindow))) return text;
  const Text charset = matcher.subMatchText(1, 1);
  if (needsDecoding(charset)) {
    const std::string_view raw(reinterpret_cast<const char*>(body.data()), body.size());
    // An unknown name would give garbage or nothing; the page is kept instead.
    if (const auto units = charset_codec::decode(raw, charset.bytes())) text = unitsToGbk(*units);
  }
  processPendingEvents();
  return text;
}

}  // namespace pindlewick
