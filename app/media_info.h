// Taking the media link, its extension and the title out of the parse
// service's answer page.
#pragma once

#include <optional>

#include "text/text.h"

namespace pindlewick {

struct MediaInfo {
  Text mediaLink;  // the whole link, query included
  Text extension;  // after the last "." of the link without its query
  Text title;
};

// nullopt when a marker the page must hold is missing.
std::optional<MediaInfo> extractMediaInfo(TextView page);

// Whether a title (or extension) keeps the file inside the save folder: no
// path separator, no control character, and not "." or "..". Checked per GBK
// character, so a second byte of 0x5C inside a two-byte character is fine.
bool staysInFolder(TextView fileNamePart);

}  // namespace pindlewick
