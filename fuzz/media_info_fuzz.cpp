// extractMediaInfo and staysInFolder on arbitrary answer pages.
#include <string>

#include "app/media_info.h"
#include "fuzz/fuzz_support.h"
#include "text/codepage.h"

namespace {

// Whether a name, as the file system gets it (UTF-8), stays one entry of the
// folder: not "." or "..", without a slash or backslash, without a C0 or C1
// control character or DEL.
bool isPlainName(const std::string& utf8) {
  if (utf8 == "." || utf8 == "..") return false;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(utf8[i]);
    if (byte == '/' || byte == '\\' || byte < 0x20 || byte == 0x7F) return false;
    const bool c1Control = byte == 0xC2 && i + 1 < utf8.size() &&
                           static_cast<std::uint8_t>(utf8[i + 1]) >= 0x80 &&
                           static_cast<std::uint8_t>(utf8[i + 1]) <= 0x9F;
    if (c1Control) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pindlewick;
  const Text page = bytesToText(data, size);
  const std::optional<MediaInfo> info = extractMediaInfo(page);
  if (!info) return 0;
  fuzz::require(fuzz::contains(page, info->mediaLink), "the media link comes from the page");
  fuzz::require(fuzz::contains(page, info->title), "the title comes from the page");
  fuzz::require(fuzz::contains(info->mediaLink, info->extension), "the extension comes from the link");
  for (const Text& name : {info->title, info->extension}) {
    if (staysInFolder(name)) {
      fuzz::require(isPlainName(gbkToUtf8(name)), "an accepted name is a plain name in UTF-8");
    }
  }
  return 0;
}
