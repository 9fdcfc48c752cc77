// What every fuzz target shares: texts drawn from the fuzz input and a check
// that turns a broken invariant into a crash libFuzzer keeps.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

#include "text/text.h"

namespace pindlewick::fuzz {

inline void require(bool holds, const char* invariant) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", invariant);
  std::abort();
}

// A Text never holds a zero byte, so outside bytes enter as text up to their
// first one, as bytesToText takes them.
inline Text consumeText(FuzzedDataProvider& input, std::size_t maxLength) {
  const std::string bytes = input.ConsumeRandomLengthString(maxLength);
  return bytesToText(bytes.data(), bytes.size());
}

inline Text consumeRemainingText(FuzzedDataProvider& input) {
  const std::string bytes = input.ConsumeRemainingBytesAsString();
  return bytesToText(bytes.data(), bytes.size());
}

// Mostly a position near the text, sometimes any int, to reach the clamping.
inline int consumePosition(FuzzedDataProvider& input) {
  return input.ConsumeBool() ? input.ConsumeIntegralInRange(-2, 80) : input.ConsumeIntegral<int>();
}

// Whether the text ends with a lead byte that has no second byte.
inline bool hasBrokenCharacter(TextView text) {
  std::size_t offset = 0;
  while (offset < text.size()) offset += static_cast<std::uint8_t>(text[offset]) >= 0x80 ? 2 : 1;
  return offset > text.size();
}

inline bool contains(TextView text, TextView part) { return text.find(part) != TextView::npos; }

}  // namespace pindlewick::fuzz
