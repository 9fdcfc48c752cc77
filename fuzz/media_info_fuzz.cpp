// extractMediaInfo and staysInFolder on arbitrary answer pages.
#include "app/media_info.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pindlewick;
  const Text page = bytesToText(data, size);
  const std::optional<MediaInfo> info = extractMediaInfo(page);
  if (!info) return 0;
  fuzz::require(fuzz::contains(page, info->mediaLink), "the media link comes from the page");
  fuzz::require(fuzz::contains(page, info->title), "the title comes from the page");
  fuzz::require(fuzz::contains(info->mediaLink, info->extension), "the extension comes from the link");
  staysInFolder(info->title);
  staysInFolder(info->extension);
  return 0;
}
