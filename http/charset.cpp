#include "http/charset.h"

#include <string>
#include <string_view>

#include "text/codepage.h"
#include "text/events.h"
#include "text/icu_charset.h"

namespace pindlewick {
namespace {

constexpr TextView kMetaCharsetPattern = R"(<meta.+?charset=[^\w]?([-\w]+))";
constexpr int kSearchWindow = 1024;

bool needsDecoding(TextView charset) {
  return !charset.empty() && charset != "gbk" && charset != "gb2312";
}

}  // namespace

Text decodeDeclaredCharset(RegexMatcher& matcher, Text text, const Bytes& body) {
  if (!matcher.search(kMetaCharsetPattern, textLeft(text, kSearchWindow))) return text;
  const Text charset = matcher.subMatchText(1, 1);
  if (needsDecoding(charset)) {
    const std::string_view raw(reinterpret_cast<const char*>(body.data()), body.size());
    // An unknown name would give garbage or nothing; the page is kept instead.
    if (const auto units = icu::decode(raw, charset)) text = unitsToGbk(*units);
  }
  processPendingEvents();
  return text;
}

}  // namespace pindlewick
