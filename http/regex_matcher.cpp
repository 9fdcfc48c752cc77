#define PCRE2_CODE_UNIT_WIDTH 16
#include "http/regex_matcher.h"

#include <pcre2.h>

#include <string>
#include <vector>

#include "text/codepage.h"
#include "text/phrases.h"

namespace pindlewick {
namespace {

// Limits that make every search end: a pattern with runaway backtracking is
// given up, as a rejected one is, instead of blocking the caller. The match
// limit counts afresh at every start position, so a pattern that stays just
// under it at each of many positions needs the step budget of the whole
// search as well.
constexpr std::uint32_t kMatchLimit = 1'000'000;
constexpr std::uint32_t kDepthLimit = 10'000;
constexpr std::uint64_t kStepBudget = 20'000'000;


struct CodeFree {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct CompileContextFree {
  void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};
struct MatchContextFree {
  void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};
struct MatchDataFree {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
using Code = std::unique_ptr<pcre2_code, CodeFree>;
using CompileContext = std::unique_ptr<pcre2_compile_context, CompileContextFree>;
using MatchContext = std::unique_ptr<pcre2_match_context, MatchContextFree>;
using MatchData = std::unique_ptr<pcre2_match_data, MatchDataFree>;

// A span of UTF-16 units in the subject.
struct Span {
  std::size_t start = 0;
  std::size_t end = 0;
};

struct Match {
  Span whole;
  std::vector<std::optional<Span>> groups;
};

PCRE2_SPTR unitsOf(const std::u16string& text) { return reinterpret_cast<PCRE2_SPTR>(text.data()); }

Code compile(const std::u16string& pattern, bool caseSensitive, bool multiline) {
  const CompileContext context(pcre2_compile_context_create(nullptr));
  if (!context) return nullptr;
  // "." stops at a line feed only, and ^ and $ see line feeds as line breaks.
  pcre2_set_newline(context.get(), PCRE2_NEWLINE_LF);
  // No PCRE2_UCP: \w, \d and \s stay ASCII. PCRE2_UTF still folds the case
  // of every letter, not only of ASCII ones.
  // Automatic callouts let the step budget see every item the engine tries.
  std::uint32_t options = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_AUTO_CALLOUT;
  if (!caseSensitive) options |= PCRE2_CASELESS;
  options |= multiline ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;
  int error = 0;
  PCRE2_SIZE errorOffset = 0;
  return Code(pcre2_compile(unitsOf(pattern), pattern.size(), options, &error, &errorOffset,
                            context.get()));
}

Match matchAt(const pcre2_match_data* data, std::uint32_t groupCount) {
  const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(const_cast<pcre2_match_data*>(data));
  Match match{{vector[0], vector[1]}, {}};
  for (std::uint32_t group = 1; group <= groupCount; ++group) {
    const PCRE2_SIZE start = vector[2 * group];
    match.groups.push_back(start == PCRE2_UNSET ? std::nullopt
                                                : std::optional<Span>({start, vector[2 * group + 1]}));
  }
  return match;
}

// Spends one step of the budget behind data; a negative answer ends the match.
int spendStep(pcre2_callout_block*, void* data) {
  auto& stepsLeft = *static_cast<std::uint64_t*>(data);
  if (stepsLeft == 0) return PCRE2_ERROR_CALLOUT;
  --stepsLeft;
  return 0;
}

// The matches from left to right; after an empty match the next search
// starts one unit further on. nullopt when the engine gives up.
std::optional<std::vector<Match>> findMatches(const pcre2_code* code, const std::u16string& subject,
                                              bool global) {
  const MatchData data(pcre2_match_data_create_from_pattern(code, nullptr));
  const MatchContext context(pcre2_match_context_create(nullptr));
  if (!data || !context) return std::nullopt;
  pcre2_set_match_limit(context.get(), kMatchLimit);
  pcre2_set_depth_limit(context.get(), kDepthLimit);
  std::uint64_t stepsLeft = kStepBudget;
  pcre2_set_callout(context.get(), spendStep, &stepsLeft);
  std::uint32_t groupCount = 0;
  pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &groupCount);
  std::vector<Match> matches;
  std::size_t offset = 0;
  while (offset <= subject.size()) {
    const int result = pcre2_match(code, unitsOf(subject), subject.size(), offset, 0, data.get(),
                                   context.get());
    if (result == PCRE2_ERROR_NOMATCH) break;
    if (result < 0) return std::nullopt;
    matches.push_back(matchAt(data.get(), groupCount));
    if (!global) break;
    const Span found = matches.back().whole;
    offset = found.end == found.start ? found.end + 1 : found.end;
  }
  return matches;
}

std::u16string_view slice(const std::u16string& text, Span span) {
  return std::u16string_view(text).substr(span.start, span.end - span.start);
}

bool isDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

// The group a "$n" or "$nn" at template[at] names, and the units it takes:
// two digits when they name a group, else one digit when it does.
std::optional<std::pair<std::size_t, std::size_t>> groupReference(std::u16string_view pattern,
                                                                  std::size_t at,
                                                                  std::size_t groupCount) {
  const std::size_t first = static_cast<std::size_t>(pattern[at + 1] - u'0');
  if (at + 2 < pattern.size() && isDigit(pattern[at + 2])) {
    const std::size_t both = first * 10 + static_cast<std::size_t>(pattern[at + 2] - u'0');
    if (both >= 1 && both <= groupCount) return std::pair{both, std::size_t{3}};
  }
  if (first >= 1 && first <= groupCount) return std::pair{first, std::size_t{2}};
  return std::nullopt;
}

// The replacement template with its $-references expanded for one match.
std::u16string expand(std::u16string_view pattern, const std::u16string& subject, const Match& match) {
  std::u16string out;
  std::size_t at = 0;
  while (at < pattern.size()) {
    const char16_t next = at + 1 < pattern.size() ? pattern[at + 1] : u'\0';
    if (pattern[at] != u'$' || next == u'\0') {
      out += pattern[at++];
    } else if (next == u'$') {
      out += u'$';
      at += 2;
    } else if (next == u'&') {
      out += slice(subject, match.whole);
      at += 2;
    } else if (next == u'`') {
      out += slice(subject, {0, match.whole.start});
      at += 2;
    } else if (next == u'\'') {
      out += slice(subject, {match.whole.end, subject.size()});
      at += 2;
    } else if (const auto reference = isDigit(next) ? groupReference(pattern, at, match.groups.size())
                                                    : std::nullopt) {
      const std::optional<Span>& group = match.groups[reference->first - 1];
      if (group) out += slice(subject, *group);
      at += reference->second;
    } else {
      out += pattern[at++];
    }
  }
  return out;
}

}  // namespace

struct RegexMatcher::Search {
  Text pattern;
  Text text;
  std::u16string subject;
  std::shared_ptr<const pcre2_code> code;  // null for a rejected pattern
  std::optional<std::vector<Match>> matches;

  const Match* match(int index) const {
    if (!matches || index < 1 || static_cast<std::size_t>(index) > matches->size()) return nullptr;
    return &(*matches)[static_cast<std::size_t>(index) - 1];
  }

  // The GBK text of a span, and where it stands in the searched text.
  Text textOf(Span span, std::size_t searchFrom, int* position) const {
    Text found = unitsToGbk(slice(subject, span));
    if (position) *position = findText(text, found, static_cast<int>(searchFrom), false) - 1;
    return found;
  }
};

RegexMatcher::RegexMatcher() = default;
RegexMatcher::~RegexMatcher() = default;
RegexMatcher::RegexMatcher(RegexMatcher&&) noexcept = default;
RegexMatcher& RegexMatcher::operator=(RegexMatcher&&) noexcept = default;
RegexMatcher::RegexMatcher(std::shared_ptr<const Search> last) : last_(std::move(last)) {}

RegexMatcher RegexMatcher::copy() const { return RegexMatcher(last_); }

bool RegexMatcher::search(TextView pattern, TextView text, bool caseSensitive, bool multiline,
                          bool global, bool quotePlaceholder) {
  auto next = std::make_shared<Search>();
  next->pattern = quotePlaceholder ? replaceText(pattern, phrase(Phrase::quotePlaceholder), "\"", {}, {}, true)
                                   : Text(pattern);
  next->text = Text(text);
  next->subject = gbkToUnits(text);
  next->code = compile(gbkToUnits(next->pattern), caseSensitive, multiline);
  if (next->code) next->matches = findMatches(next->code.get(), next->subject, global);
  last_ = std::move(next);
  return last_->matches.has_value();
}

Text RegexMatcher::pattern() const { return last_ ? last_->pattern : Text{}; }

Text RegexMatcher::replace(TextView replacement) const {
  if (!last_ || !last_->matches) return {};
  const std::u16string pattern = gbkToUnits(replacement);
  const std::u16string& subject = last_->subject;
  std::u16string out;
  std::size_t copiedUpTo = 0;
  for (const Match& match : *last_->matches) {
    out += slice(subject, {copiedUpTo, match.whole.start});
    out += expand(pattern, subject, match);
    copiedUpTo = match.whole.end;
  }
  out += slice(subject, {copiedUpTo, subject.size()});
  return unitsToGbk(out);
}

int RegexMatcher::matchCount() const {
  return last_ && last_->matches ? static_cast<int>(last_->matches->size()) : 0;
}

int RegexMatcher::subMatchCount() const {
  const Match* first = last_ ? last_->match(1) : nullptr;
  return first ? static_cast<int>(first->groups.size()) : 0;
}

Text RegexMatcher::matchText(int matchIndex, int* position) const {
  const Match* match = last_ ? last_->match(matchIndex) : nullptr;
  if (!match) return {};
  return last_->textOf(match->whole, match->whole.start, position);
}

Text RegexMatcher::subMatchText(int matchIndex, int groupIndex, int* position) const {
  const Match* match = last_ ? last_->match(matchIndex) : nullptr;
  if (!match || groupIndex < 1 || static_cast<std::size_t>(groupIndex) > match->groups.size()) return {};
  const std::optional<Span>& group = match->groups[static_cast<std::size_t>(groupIndex) - 1];
  return group ? last_->textOf(*group, match->whole.start, position) : Text{};
}

}  // namespace pindlewick
