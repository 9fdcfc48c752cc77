// RegexMatcher::search on arbitrary patterns and texts, with every flag.
#include "fuzz/fuzz_support.h"
#include "http/regex_matcher.h"
#include "text/codepage.h"

namespace pindlewick::fuzz {
namespace {

// The first matches are enough to check; a global search of an empty
// pattern has one per character.
constexpr int kMatchesChecked = 16;

void checkMatches(const RegexMatcher& matcher, TextView text) {
  const int checked = std::min(matcher.matchCount(), kMatchesChecked);
  for (int index = 1; index <= checked; ++index) {
    int position = 0;
    const Text found = matcher.matchText(index, &position);
    require(position == -2 || text.substr(static_cast<std::size_t>(position), found.size()) == found,
            "a match's position holds the match");
    for (int group = 1; group <= matcher.subMatchCount(); ++group) matcher.subMatchText(index, group);
  }
  // Every match put back as itself gives the searched text as GBK sees it.
  require(matcher.replace("$&") == unitsToGbk(gbkToUnits(text)),
          "replacing each match by itself keeps the text");
}

}  // namespace
}  // namespace pindlewick::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pindlewick::fuzz;
  FuzzedDataProvider input(data, size);
  const bool caseSensitive = input.ConsumeBool();
  const bool multiline = input.ConsumeBool();
  const bool global = input.ConsumeBool();
  const bool quotePlaceholder = input.ConsumeBool();
  const pindlewick::Text replacement = consumeText(input, 32);
  const pindlewick::Text pattern = consumeText(input, 128);
  const pindlewick::Text text = consumeRemainingText(input);

  pindlewick::RegexMatcher matcher;
  if (matcher.search(pattern, text, caseSensitive, multiline, global, quotePlaceholder)) {
    checkMatches(matcher, text);
  }
  matcher.replace(replacement);
  return 0;
}
