// Pages that declare a charset other than GBK in a meta tag near their start
// are turned into code-page-936 text from their raw bytes.
#pragma once

#include "http/regex_matcher.h"
#include "text/text.h"

namespace pindlewick {

// text, or body decoded from the charset that the first meta declaration in
// the first 1024 bytes of text names, as code page 936 with characters it
// cannot hold as "?". "gbk" and "gb2312" (exactly so written) and charsets the
// converter does not know leave text as it is. matcher does the search.
Text decodeDeclaredCharset(RegexMatcher& matcher, Text text, const Bytes& body);

}  // namespace pindlewick
