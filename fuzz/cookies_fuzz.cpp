// The response header scan and mergeCookies on arbitrary header blocks and
// cookie texts.
#include "fuzz/fuzz_support.h"
#include "http/cookies.h"

namespace pindlewick::fuzz {
namespace {

void checkScan(Text headers, Text cookies, Text location) {
  const Text oldLocation = location;
  const Text oldCookies = cookies;
  scanResponseHeaders(headers, cookies, location);
  require(location == oldLocation || contains(headers, location),
          "the location comes from a header line");
  require(cookies.bytes().starts_with(oldCookies.bytes()), "the scan only appends to the cookies");
}

void checkMerge(Text submitted, Text returned) {
  const Text merged = mergeCookies(submitted, returned);
  require(merged == submitted, "mergeCookies hands the merged text back in submitted");
  TextArray seen;
  for (const Text& item : splitText(merged, "; ")) {
    require(removeSpaces(item) == item, "merged items hold no spaces");
    require(!item.bytes().ends_with("=deleted"), "deleted cookies are gone");
    require(indexOfText(seen, item) == -1, "every merged item is there once");
    appendText(seen, item);
  }
}

}  // namespace
}  // namespace pindlewick::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pindlewick::fuzz;
  FuzzedDataProvider input(data, size);
  const pindlewick::Text cookies = consumeText(input, 128);
  const pindlewick::Text location = consumeText(input, 32);
  const pindlewick::Text headers = consumeRemainingText(input);
  checkScan(headers, cookies, location);
  checkMerge(cookies, headers);
  return 0;
}
