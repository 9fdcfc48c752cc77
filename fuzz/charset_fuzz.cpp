// The charset step on arbitrary bodies, declaring arbitrary charset names.
#include "fuzz/fuzz_support.h"
#include "http/charset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pindlewick;
  FuzzedDataProvider input(data, size);
  const bool declared = input.ConsumeBool();
  const Text charset = fuzz::consumeText(input, 40);
  const Bytes body = input.ConsumeRemainingBytes<std::uint8_t>();
  // The page's text is its body up to the first zero byte, as a response gives it.
  const Text bodyText = bytesToText(body);
  const Text text = declared ? concatText({"<meta charset=\"", charset, "\">", bodyText}) : bodyText;

  RegexMatcher matcher;
  const Text decoded = decodeDeclaredCharset(matcher, text, body);
  fuzz::require(!fuzz::contains(decoded, TextView("\0", 1)), "the decoded page holds no zero byte");
  return 0;
}
