// A small regular-expression matcher over code-page-936 text.
//
// The engine works on the text's UTF-16 form, so match offsets count UTF-16
// units. The dialect is that of classic script engines: "." stops at a line
// feed, \w is [A-Za-z0-9_], lazy quantifiers, and replacement templates with
// $1..$99, $&, $`, $' and $$.
#pragma once

#include <memory>
#include <optional>

#include "text/text.h"

namespace pindlewick {

class RegexMatcher {
 public:
  RegexMatcher();
  ~RegexMatcher();
  RegexMatcher(const RegexMatcher&) = delete;
  RegexMatcher& operator=(const RegexMatcher&) = delete;
  RegexMatcher(RegexMatcher&&) noexcept;
  RegexMatcher& operator=(RegexMatcher&&) noexcept;

  // A new matcher sharing this one's compiled pattern and matches; a later
  // search on either one leaves the other as it was.
  RegexMatcher copy() const;

  // Compiles pattern and finds its matches in text (all of them when global,
  // else the first). True when the engine ran, also when nothing matched;
  // false for a pattern the engine rejects or a search it gives up on.
  // quotePlaceholder turns every "#引号" in the pattern into a double quote.
  bool search(TextView pattern, TextView text, bool caseSensitive = false, bool multiline = true,
              bool global = true, bool quotePlaceholder = false);

  // The pattern of the last search, "" before the first.
  Text pattern() const;
  // The searched text with the matches replaced by the expanded template;
  // "" when the last search had no usable pattern.
  Text replace(TextView replacement) const;

  int matchCount() const;
  int subMatchCount() const;
  // Match matchIndex (from 1); "" outside the matches. position, when given,
  // receives the 0-based byte offset of that text in the searched text at or
  // after the match's unit offset, or -2.
  Text matchText(int matchIndex, int* position = nullptr) const;
  // Group groupIndex (from 1) of match matchIndex; "" for a group that took
  // part in no match or an index outside the matches.
  Text subMatchText(int matchIndex, int groupIndex, int* position = nullptr) const;

  struct Search;

 private:
  explicit RegexMatcher(std::shared_ptr<const Search> last);
  std::shared_ptr<const Search> last_;
};

}  // namespace pindlewick
