#include "http/regex_matcher.h"

#include <gtest/gtest.h>

namespace pindlewick {
namespace {

struct SearchCase {
  Text pattern;
  Text text;
  bool caseSensitive;
  bool multiline;
  bool global;
  std::vector<Text> matches;
};

Text allMatches(const RegexMatcher& matcher) {
  Text joined;
  for (int i = 1; i <= matcher.matchCount(); ++i) joined += "[" + matcher.matchText(i) + "]";
  return joined;
}

TEST(RegexMatcher, DialectTable) {
  const Text chinese = "\xD6\xD0\xCE\xC4";  // 中文
  const SearchCase cases[] = {
      {"abc", "xABCx", false, true, true, {"ABC"}},
      {"abc", "xABCx", true, true, true, {}},
      {"a.c", "a\nc a\rc", false, true, true, {"a\rc"}},  // the dot stops at a line feed only
      {"^b$", "a\nb\nc", false, true, true, {"b"}},
      {"^b$", "a\nb\nc", false, false, true, {}},
      {"c$", "abc\n", false, false, true, {}},  // no line break before the end without multiline
      {"\\w+", "ab" + chinese + "_1", false, true, true, {"ab", "_1"}},  // \w is ASCII
      {"\\d", "a1b2", false, true, false, {"1"}},
      {"<.+?>", "<a><b>", false, true, true, {"<a>", "<b>"}},
      {"x*", "ab", false, true, true, {"", "", ""}},  // empty matches step on by one unit
      {chinese, "A" + chinese, false, true, true, {chinese}},
      {"\\u4e2d", chinese, false, true, true, {"\xD6\xD0"}},
      {"\xA6\xC1", "\xA6\xA1", false, true, true, {"\xA6\xA1"}},  // Greek letters fold their case too
  };
  for (const SearchCase& c : cases) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.search(c.pattern, c.text, c.caseSensitive, c.multiline, c.global)) << c.pattern;
    Text expected;
    for (const Text& match : c.matches) expected += "[" + match + "]";
    EXPECT_EQ(allMatches(matcher), expected) << c.pattern << " in " << c.text;
  }
}

TEST(RegexMatcher, GroupsPositionsAndCounts) {
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.search("(\\w)(x)?=(\\d+)", "\xD6\xD0 a=1; b=22"));
  EXPECT_EQ(matcher.matchCount(), 2);
  EXPECT_EQ(matcher.subMatchCount(), 3);
  int position = 0;
  EXPECT_EQ(matcher.matchText(2, &position), "b=22");
  EXPECT_EQ(position, 8);  // bytes, though the engine counts units
  EXPECT_EQ(matcher.subMatchText(2, 3, &position), "22");
  EXPECT_EQ(position, 10);
  EXPECT_EQ(matcher.subMatchText(1, 2), "");  // a group that took no part
  EXPECT_EQ(matcher.subMatchText(1, 4), "");
  EXPECT_EQ(matcher.matchText(3), "");
  EXPECT_EQ(matcher.matchText(0), "");
}

TEST(RegexMatcher, NoMatchRejectedPatternAndRunawayBacktracking) {
  RegexMatcher matcher;
  EXPECT_TRUE(matcher.search("zzz", "abc"));
  EXPECT_EQ(matcher.matchCount(), 0);
  EXPECT_EQ(matcher.subMatchCount(), 0);
  EXPECT_EQ(matcher.matchText(1), "");

  EXPECT_FALSE(matcher.search("(a", "a"));
  EXPECT_EQ(matcher.pattern(), "(a");
  EXPECT_EQ(matcher.matchCount(), 0);
  EXPECT_EQ(matcher.replace("x"), "");

  // Exponential backtracking is given up on rather than left to run for ages.
  EXPECT_FALSE(matcher.search("^(a+)+$", Text(std::string(40, 'a')) + "b"));
  // Backtracking that stays under the match limit at each start position is
  // given up on too: the limit counts afresh at every position.
  EXPECT_FALSE(matcher.search("(?:a|a){19}(?!)", Text(std::string(4000, 'a'))));
  EXPECT_EQ(RegexMatcher().pattern(), "");
  EXPECT_EQ(RegexMatcher().replace("x"), "");
}

TEST(RegexMatcher, ReplaceTemplates) {
  struct Case {
    Text replacement;
    bool global;
    Text expected;
  };
  const Case cases[] = {
      {"<$2$1>", true, "x<1a>-<2b>y"},
      {"[$&]", true, "x[a1]-[b2]y"},
      {"[$`]", false, "x[x]-b2y"},
      {"[$']", false, "x[-b2y]-b2y"},
      {"$$1", true, "x$1-$1y"},
      {"$3$0$", true, "x$3$0$-$3$0$y"},   // no such group: the text stays
      {"$10", true, "xa0-b0y"},          // two digits only when they name a group
  };
  for (const Case& c : cases) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.search("([a-z])(\\d)", "xa1-b2y", false, true, c.global));
    EXPECT_EQ(matcher.replace(c.replacement), c.expected) << c.replacement;
  }
  RegexMatcher twelve;
  ASSERT_TRUE(twelve.search("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)", "abcdefghijkl"));
  EXPECT_EQ(twelve.replace("$12$11$1"), "lka");
}

TEST(RegexMatcher, CopySharesMatchesUntilEitherSearchesAgain) {
  RegexMatcher original;
  ASSERT_TRUE(original.search("b", "abc"));
  const RegexMatcher copied = original.copy();
  ASSERT_TRUE(original.search("#\xD2\xFD\xBA\xC5", "say \"hi\"", false, true, true, true));
  EXPECT_EQ(original.pattern(), "\"");
  EXPECT_EQ(original.matchCount(), 2);
  EXPECT_EQ(copied.pattern(), "b");
  EXPECT_EQ(copied.matchText(1), "b");
  EXPECT_EQ(copied.replace("B"), "aBc");
}

}  // namespace
}  // namespace pindlewick
