#include "http/cookies.h"

#include "text/events.h"
#include "text/phrases.h"

namespace pindlewick {
namespace {

constexpr TextView kItemSeparator = "; ";
constexpr TextView kDeletionMarker = "=deleted";

Text withQuotes(TextView marker) { return replaceText(marker, phrase(Phrase::quotePlaceholder), "\"", {}, {}, true); }

// The value a Set-Cookie line contributes: up to the first ";" behind
// "Set-Cookie:", or the whole line without its header name. A Set-Cookie2
// line holds no "Set-Cookie:" and so contributes an empty item.
Text setCookieValue(TextView line) {
  if (findText(line, ";", {}, false) != -1) {
    return trimSpaces(textBetween(line, "Set-Cookie:", ";", 0, false));
  }
  return trimSpaces(replaceText(line, "Set-Cookie:", {}, {}, {}, false));
}

bool isLocationLine(TextView line) { return compareText(textLeft(line, 10), "Location: ", false) == 0; }

bool isDeletionMarker(TextView item) { return textRight(item, 8) == kDeletionMarker; }

Text withoutLastBytes(TextView text, TextView suffix) {
  return textLeft(text, textLength(text) - textLength(suffix));
}

}  // namespace

void scanResponseHeaders(Text& headers, Text& cookies, Text& location) {
  headers = replaceText(headers, "Set-Cookie", "Set-Cookie", {}, {}, false);
  bool appended = false;
  for (const Text& line : splitText(headers, "\r\n")) {
    if (findText(line, "Set-Cookie", {}, false) != -1) {
      cookies += setCookieValue(line);
      cookies += kItemSeparator;
      appended = true;
    }
    if (isLocationLine(line)) location = textMid(line, 11, textLength(line));
    processPendingEvents();
  }
  // Only the separator this scan added is taken off: a caller's own cookies
  // keep their last bytes when the response sets none.
  if (appended) cookies = withoutLastBytes(cookies, kItemSeparator);
}

Text mergeCookies(Text& submitted, Text& returned) {
  submitted = removeSpaces(submitted);
  returned = removeSpaces(returned);
  const TextArray oldItems = splitText(submitted, ";");
  TextArray newItems = splitText(returned, ";");
  for (const Text& item : oldItems) {
    if (!hasCookieNamed(newItems, cookieName(item))) appendText(newItems, item);
  }
  Text merged;
  for (const Text& item : newItems) {
    if (isDeletionMarker(item)) continue;
    merged += item;
    merged += kItemSeparator;
  }
  submitted = joinUnique(withoutLastBytes(merged, kItemSeparator), kItemSeparator);
  return submitted;
}

Text textBetween(TextView text, TextView startMarker, TextView endMarker, int startPosition,
                 bool caseInsensitive) {
  const Text start = withQuotes(startMarker);
  const Text end = withQuotes(endMarker);
  int from = findText(text, start, startPosition, caseInsensitive);
  if (from != -1) from += textLength(start);
  const int to = findText(text, end, from, caseInsensitive);
  if (from == -1 || to == -1) return {};
  return textMid(text, from, to - from);
}

Text cookieName(TextView item) {
  const int equals = findText(item, "=", {}, false);
  return trimSpaces(equals == -1 ? Text(item) : textLeft(item, equals - 1));
}

bool hasCookieNamed(const TextArray& items, TextView name) {
  for (const Text& item : items) {
    if (cookieName(item) == name) return true;
  }
  return false;
}

Text joinUnique(TextView text, TextView separator) {
  TextArray kept;
  Text joined;
  for (const Text& piece : splitText(text, separator)) {
    if (indexOfText(kept, piece) != -1) continue;
    appendText(kept, piece);
    joined += piece;
    joined += separator;
  }
  return withoutLastBytes(joined, separator);
}

int indexOfText(const TextArray& items, TextView text) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] == text) return static_cast<int>(i) + 1;
  }
  return -1;
}

}  // namespace pindlewick
