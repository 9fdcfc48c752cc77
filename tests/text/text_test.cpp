#include "text/text.h"

#include <gtest/gtest.h>

#include <optional>

namespace pindlewick {
namespace {

// Two GBK characters: 中 (D6 D0) and 文 (CE C4).
const Text kZhongWen = "\xD6\xD0\xCE\xC4";

TEST(SplitText, Pieces) {
  struct Case {
    Text text;
    Text delimiter;
    std::optional<int> maxPieces;
    TextArray expected;
  };
  const Case cases[] = {
      {"a,,b,", ",", {}, {"a", "", "b"}},
      {",a", ",", {}, {"", "a"}},
      {",", ",", {}, {""}},
      {"abc", "x", {}, {"abc"}},
      {"abc", "", {}, {"abc"}},
      {"", ",", {}, {}},
      {"a,b,c", ",", 2, {"a", "b"}},
      {"a,b", ",", 0, {}},
      {"a,b", ",", -3, {}},
      {"a<>b<>", "<>", {}, {"a", "b"}},
      // The delimiter D0 CE straddles two characters, so it is not there.
      {kZhongWen, "\xD0\xCE", {}, {kZhongWen}},
      // A broken last character ends the scan; what is left is the last piece.
      {"a,\xB0", ",", {}, {"a", "\xB0"}},
      // Delimiters match letters exactly.
      {"aXbxc", "x", {}, {"aXb", "c"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(splitText(c.text, c.delimiter, c.maxPieces), c.expected)
        << '"' << c.text << "\" at \"" << c.delimiter << '"';
  }
  EXPECT_EQ(splitText("a,b"), (TextArray{"a", "b"})) << "comma by default";
}

TEST(FindText, Positions) {
  struct Case {
    Text text;
    Text what;
    std::optional<int> start;
    bool ignoreCase;
    int expected;
  };
  const Case cases[] = {
      {"abcabc", "c", {}, false, 3},   {"abcabc", "c", 4, false, 6},
      {"abcabc", "c", 7, false, -1},   {"abcabc", "c", 0, false, 3},
      {"abcabc", "c", -5, false, 3},   {"abc", "", {}, false, 1},
      {"abc", "", 3, false, 1},        {"abc", "", 4, false, -1},
      {"", "", {}, false, -1},         {"ab", "abc", {}, false, -1},
      {"ABC", "b", {}, true, 2},       {"ABC", "b", {}, false, -1},
      // Only character starts are tried.
      {kZhongWen, "\xD0\xCE", {}, false, -1},
      {kZhongWen, "\xCE\xC4", {}, false, 3},
      {"a\xB0z", "z", {}, false, -1},  // here z is a second byte
      // Letter folding also applies to second bytes of two-byte characters.
      {"\xB0\x41", "\xB0\x61", {}, true, 1},
      // A broken character ends the scan.
      {"\xB0", "x", {}, false, -1},
      {"x\xB0", "\xB0", {}, false, 2},
      {"abc", "c", std::numeric_limits<int>::min(), false, 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(findText(c.text, c.what, c.start, c.ignoreCase), c.expected)
        << '"' << c.what << "\" in \"" << c.text << "\" from " << c.start.value_or(-999);
  }
}

TEST(ReplaceText, Rewrites) {
  struct Case {
    Text text;
    Text what;
    Text with;
    std::optional<int> start;
    std::optional<int> count;
    bool caseSensitive;
    Text expected;
  };
  const Case cases[] = {
      {"set-cookie: a", "Set-Cookie", "Set-Cookie", {}, {}, false, "Set-Cookie: a"},
      {"set-cookie: a", "Set-Cookie", "Set-Cookie", {}, {}, true, "set-cookie: a"},
      {"SET-COOKIE:x", "Set-Cookie:", "", {}, {}, false, "x"},
      {"aaa", "aa", "b", {}, {}, true, "ba"},
      {"abc", "", "x", {}, {}, true, "abc"},
      {"", "a", "x", {}, {}, true, ""},
      {"aXa", "a", "aa", {}, {}, true, "aaXaa"},  // inserted text is not scanned again
      {"a.a.a", "a", "b", 2, {}, true, "a.b.b"},
      {"a.a.a", "a", "b", {}, 2, true, "b.b.a"},
      {"a.a.a", "a", "b", {}, 0, true, "a.a.a"},
      {"a.a.a", "a", "b", {}, -1, true, "b.b.b"},
      {"a.a", "a", "b", 9, {}, true, "a.a"},
      {kZhongWen, "\xD0\xCE", "!", {}, {}, true, kZhongWen},
      {"x\xD6\xD0x", "x", "y", {}, {}, true, "y\xD6\xD0y"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(replaceText(c.text, c.what, c.with, c.start, c.count, c.caseSensitive), c.expected)
        << '"' << c.what << "\" in \"" << c.text << '"';
  }
}

TEST(Cutting, ClampsPositionsAndLengths) {
  EXPECT_EQ(textLeft("abc", 5), "abc");
  EXPECT_EQ(textLeft("abc", 0), "");
  EXPECT_EQ(textLeft("abc", -2), "");
  EXPECT_EQ(textRight("ab", 8), "ab");
  EXPECT_EQ(textRight("abc", 2), "bc");
  EXPECT_EQ(textRight("abc", -1), "");
  EXPECT_EQ(textMid("abcdef", 3, 2), "cd");
  EXPECT_EQ(textMid("abc", 2, 10), "bc");
  EXPECT_EQ(textMid("abc", 0, 2), "");
  EXPECT_EQ(textMid("abc", 4, 1), "");
  EXPECT_EQ(textMid("abc", 2, 0), "");
  EXPECT_EQ(textLeft(kZhongWen, 3), "\xD6\xD0\xCE") << "byte counts may cut a character";
}

TEST(Spaces, TrimAndRemove) {
  struct Case {
    Text text;
    Text trimmed;
    Text removed;
  };
  const Text fullWidth = "\xA1\xA1";
  const Case cases[] = {
      {"  a b  ", "a b", "ab"},
      {fullWidth + "a" + fullWidth + "b " + fullWidth, "a" + fullWidth + "b", "ab"},
      {"\ta \r\n", "\ta \r\n", "\ta\r\n"},
      {"\t  a", "\t  a", "\ta"},
      {"   ", "", ""},
      {"", "", ""},
      {"a = b; c", "a = b; c", "a=b;c"},
      {" a  \xB0", "a  ", "a"},         // a broken last character is dropped
      {"a\xA1", "a", "a"},              // a lone A1 at the end is broken, not a space
      // D6 A1 is one character, so the A1 A1 after it is the full-width space.
      {"x\xD6\xA1\xA1\xA1 ", "x\xD6\xA1", "x\xD6\xA1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(trimSpaces(c.text), c.trimmed) << '"' << c.text << '"';
    EXPECT_EQ(removeSpaces(c.text), c.removed) << '"' << c.text << '"';
  }
}

TEST(Compare, RawAndCaseFolded) {
  EXPECT_EQ(compareRaw("", ""), 0);
  EXPECT_EQ(compareRaw("a", "b"), -1);
  EXPECT_EQ(compareRaw("ab", "a"), 1);
  EXPECT_EQ(compareRaw("a", "ab"), -1);
  EXPECT_EQ(compareRaw("\xB0", "a"), 1) << "bytes compare unsigned";
  EXPECT_EQ(compareText("location: ", "Location: ", false), 0);
  EXPECT_NE(compareText("location: ", "Location: ", true), 0);
  EXPECT_LT(compareText("a", "B", false), 0);
  EXPECT_GT(compareText("ab", "A", false), 0);
}

TEST(Joining, TextsAndBytes) {
  EXPECT_EQ(concatText({"", ""}), "");
  EXPECT_EQ(concatText({"ab", "", "c"}), "abc");
  EXPECT_EQ(concatBytes(Bytes{}, Bytes{}), Bytes{});
  EXPECT_EQ(concatBytes(Bytes{1}, Bytes{}, Bytes{0, 2}), (Bytes{1, 0, 2}));
}

TEST(BytesAndText, Conversions) {
  EXPECT_EQ(charFromCode(65), "A");
  EXPECT_EQ(charFromCode(0), "");
  EXPECT_EQ(bytesToText(Bytes{0x61, 0x00, 0x62}), "a");
  EXPECT_EQ(bytesToText(Bytes{0x00, 0x61}), "");
  EXPECT_EQ(bytesToText(Bytes{0x61, 0x62}), "ab");
  EXPECT_EQ(textToBytes("ab"), (Bytes{0x61, 0x62}));
  EXPECT_EQ(blankText(3), "   ");
  EXPECT_EQ(blankText(-1), "");
  EXPECT_EQ(blankBytes(3), (Bytes{0, 0, 0}));
  EXPECT_EQ(blankBytes(0), Bytes{});
  EXPECT_EQ(blankBytes(-1), Bytes{});
  const Bytes five{1, 2, 3, 4, 5};
  EXPECT_EQ(bytesLeft(five, 8), five);
  EXPECT_EQ(bytesLeft(five, 2), (Bytes{1, 2}));
  EXPECT_EQ(bytesLeft(five, -1), Bytes{});
  EXPECT_EQ(bytesLength(five), 5);
  const char memory[] = {'x', '\0', 'y'};
  EXPECT_EQ(bytesFromMemory(memory, 3), (Bytes{'x', 0, 'y'}));
  EXPECT_EQ(bytesFromMemory(memory, 0), Bytes{});
}

int indexFaultOf(const auto& read) {
  try {
    read();
  } catch (const IndexFault& fault) {
    return fault.number();
  }
  return 0;
}

TEST(Elements, IndexFaultsCarryTheirNumber) {
  const TextArray empty = splitText("", ",");
  EXPECT_EQ(arraySize(empty), 0);
  EXPECT_EQ(indexFaultOf([&] { return elementAt(empty, 1); }), 1);
  EXPECT_EQ(indexFaultOf([&] { return elementAt(empty, arraySize(empty)); }), 4);

  TextArray array;
  appendText(array, "first");
  appendText(array, "");
  EXPECT_EQ(arraySize(array), 2);
  EXPECT_EQ(elementAt(array, 1), "first");
  EXPECT_EQ(elementAt(array, 2), "");
  EXPECT_EQ(indexFaultOf([&] { return elementAt(array, 3); }), 1);
  EXPECT_EQ(indexFaultOf([&] { return elementAt(array, -1); }), 4);

  const Bytes bytes{0x00, 0xFF};
  EXPECT_EQ(elementAt(bytes, 2), 0xFF);
  EXPECT_EQ(indexFaultOf([&] { return elementAt(bytes, 0); }), 4);
  EXPECT_EQ(indexFaultOf([&] { return elementAt(bytes, 3); }), 1);
}

TEST(Bits, AndOr) {
  EXPECT_EQ(bitAnd(0x0F, 0x3C, 0xFF), 0x0C);
  EXPECT_EQ(bitOr(1, 4, 0x100), 0x105);
}

}  // namespace
}  // namespace pindlewick
