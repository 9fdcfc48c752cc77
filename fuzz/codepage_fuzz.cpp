// The code-page conversions and urlEncode on arbitrary bytes and code pages.
#include "fuzz/fuzz_support.h"
#include "text/codepage.h"

namespace pindlewick::fuzz {
namespace {

int hexValue(char digit) { return digit <= '9' ? digit - '0' : digit - 'A' + 10; }

// Undoes urlEncode: "%XY" back to its byte, every other byte as it is.
std::string percentDecoded(TextView encoded) {
  std::string decoded;
  for (std::size_t at = 0; at < encoded.size(); ++at) {
    if (encoded[at] != '%') {
      decoded.push_back(encoded[at]);
      continue;
    }
    require(at + 2 < encoded.size(), "urlEncode writes two hex digits after each %");
    decoded.push_back(static_cast<char>(hexValue(encoded[at + 1]) * 16 + hexValue(encoded[at + 2])));
    at += 2;
  }
  return decoded;
}

bool isPlainAscii(TextView text) {
  for (char c : text) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte <= 0x20 || byte >= 0x7F) return false;
  }
  return true;
}

void checkUrlEncode(TextView text, bool keepAlnum, bool utf8) {
  const Text encoded = urlEncode(text, keepAlnum, utf8);
  require(isPlainAscii(encoded), "urlEncode writes printable ASCII only");
  require(percentDecoded(encoded) == (utf8 ? gbkToUtf8(text) : std::string(text.bytes())),
          "urlEncode decodes back to its source bytes");
}

// One trip through UTF-16 turns the text into the GBK it stands for; a
// second trip must leave that text as it is.
void checkRoundTrips(TextView text) {
  const Text settled = unitsToGbk(gbkToUnits(text));
  require(unitsToGbk(gbkToUnits(settled)) == settled, "GBK through UTF-16 settles after one trip");
  require(wideToGbk(gbkToWide(settled)) == settled, "gbkToWide and wideToGbk agree with the units");
  require(utf8ToGbk(gbkToUtf8(settled)) == settled, "GBK through UTF-8 keeps settled text");
}

void checkWide(const WideBytes& wide, int codePage) {
  require(!contains(wideToGbk(wide), TextView("\0", 1)), "wideToGbk holds no zero byte");
  wideToMultiByte(wide, codePage);
}

}  // namespace
}  // namespace pindlewick::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pindlewick::fuzz;
  FuzzedDataProvider input(data, size);
  const bool keepAlnum = input.ConsumeBool();
  const bool utf8 = input.ConsumeBool();
  const int codePage = input.ConsumeBool() ? input.PickValueInArray({0, 936, 65001, 1252})
                                           : input.ConsumeIntegral<int>();
  const pindlewick::Text text = consumeText(input, 256);
  const std::vector<std::uint8_t> wide = input.ConsumeRemainingBytes<std::uint8_t>();

  checkUrlEncode(text, keepAlnum, utf8);
  checkRoundTrips(text);
  checkWide(wide, codePage);
  pindlewick::ansiToWide(text, codePage);
  return 0;
}
