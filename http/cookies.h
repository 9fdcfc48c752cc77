// The cookie side of a response: the scan of the raw header block for
// Set-Cookie and Location lines, and the merge of the cookies a caller sent
// with those the server set.
//
// A cookie text is a list of name=value items joined by "; ".
#pragma once

#include "text/text.h"

namespace pindlewick {

// Rewrites every "Set-Cookie" header name in headers (any letter case) as
// "Set-Cookie", appends the value of each Set-Cookie line to cookies as one
// more item, and sets location to the value of the last "Location: " line.
// location keeps its value when there is no such line.
void scanResponseHeaders(Text& headers, Text& cookies, Text& location);

// Merges returned into submitted: returned items win over submitted items of
// the same name, name=deleted items remove the name, exact duplicates go.
// Both arguments lose their spaces; submitted receives the merged text, which
// is also the result.
Text mergeCookies(Text& submitted, Text& returned);

// The text between the first startMarker at or after startPosition and the
// first endMarker behind it; "" when either is missing. "#引号" in a marker
// stands for a double quote.
Text textBetween(TextView text, TextView startMarker, TextView endMarker, int startPosition,
                 bool caseInsensitive);

// The trimmed bytes before an item's first "=", or the whole trimmed item.
Text cookieName(TextView item);
bool hasCookieNamed(const TextArray& items, TextView name);

// The pieces of text between separators, each kept once, in first-seen order.
Text joinUnique(TextView text, TextView separator);

// Position (from 1) of the first element equal to text, or -1.
int indexOfText(const TextArray& items, TextView text);

}  // namespace pindlewick
