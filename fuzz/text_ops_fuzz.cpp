// The text operations on arbitrary bytes: searching, rewriting, splitting,
// spaces, numbers and cutting.
#include <optional>

#include "fuzz/fuzz_support.h"

namespace pindlewick::fuzz {
namespace {

Text joined(const TextArray& pieces, TextView delimiter) {
  Text text;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) text.append(delimiter);
    text.append(pieces[i]);
  }
  return text;
}

bool equalIgnoringCase(TextView a, TextView b) { return compareText(a, b, false) == 0; }

// A replacement of the first match must land exactly where findText finds it.
void checkFindAgreesWithReplace(TextView text, TextView what, TextView with, int start,
                                bool ignoreCase) {
  const int found = findText(text, what, start, ignoreCase);
  if (what.empty()) return;  // findText finds "" at 1; replaceText leaves the text alone
  std::string expected(text.bytes());
  if (found != -1) {
    require(found >= 1 && static_cast<std::size_t>(found) - 1 + what.size() <= text.size(),
            "findText's position lies inside the text");
    const TextView there = text.substr(static_cast<std::size_t>(found) - 1, what.size());
    require(ignoreCase ? equalIgnoringCase(there, what) : there == what,
            "findText's position holds what was searched");
    expected.replace(static_cast<std::size_t>(found) - 1, what.size(), with.bytes());
  }
  require(replaceText(text, what, with, start, 1, !ignoreCase) == Text(expected),
          "replaceText of one match replaces what findText finds");
}

void checkSplit(TextView text, TextView delimiter, std::optional<int> maxPieces) {
  const TextArray pieces = splitText(text, delimiter, maxPieces);
  require(pieces.empty() == text.empty() || (maxPieces && *maxPieces <= 0),
          "only an empty text splits into nothing");
  if (maxPieces) {
    require(pieces.size() <= static_cast<std::size_t>(std::max(*maxPieces, 0)),
            "splitText keeps to its piece limit");
    return;
  }
  // A delimiter that ends the text leaves no empty last piece behind it.
  const Text rejoined = joined(pieces, delimiter);
  require(rejoined == text || rejoined + Text(delimiter) == text,
          "split pieces rejoined with the delimiter give the text back");
}

void checkSpaces(TextView text) {
  const Text trimmed = trimSpaces(text);
  const Text removed = removeSpaces(text);
  require(contains(text, trimmed), "trimSpaces keeps a part of the text");
  require(removed.size() <= text.size(), "removeSpaces never adds bytes");
  require(removeSpaces(removed) == removed, "removeSpaces leaves no space behind");
  require(removeSpaces(trimmed) == removed || hasBrokenCharacter(text),
          "trimming first takes away only spaces");
  if (hasBrokenCharacter(text)) return;  // its dropped last byte may uncover spaces
  require(trimSpaces(trimmed) == trimmed, "trimSpaces leaves no space at either end");
}

void checkNumbers(TextView text, int value) {
  textToInt(text);
  require(textToInt(intToText(value)) == value, "textToInt reads back intToText");
}

void checkMid(TextView text, int start, int count) {
  const Text middle = textMid(text, start, count);
  if (middle.empty()) return;
  require(start >= 1 && count >= 1 && middle.size() <= static_cast<std::size_t>(count),
          "textMid takes at most count bytes from a start inside the text");
  require(text.substr(static_cast<std::size_t>(start) - 1, middle.size()) == middle,
          "textMid takes the bytes at start");
}

}  // namespace
}  // namespace pindlewick::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pindlewick::fuzz;
  FuzzedDataProvider input(data, size);
  const bool flag = input.ConsumeBool();
  const int start = consumePosition(input);
  const int count = consumePosition(input);
  const std::optional<int> maxPieces =
      input.ConsumeBool() ? std::optional<int>(consumePosition(input)) : std::nullopt;
  const int number = input.ConsumeIntegral<int>();
  const pindlewick::Text what = consumeText(input, 8);
  const pindlewick::Text with = consumeText(input, 8);
  const pindlewick::Text text = consumeRemainingText(input);

  checkFindAgreesWithReplace(text, what, with, start, flag);
  checkSplit(text, what, maxPieces);
  checkSpaces(text);
  checkNumbers(text, number);
  checkMid(text, start, count);
  return 0;
}
