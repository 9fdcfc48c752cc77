// The elapsed time a download reports to its progress callback: a 32-bit
// millisecond tick, as the original platform's.
#pragma once

#include <cstdint>

namespace pindlewick {

// Milliseconds between two readings of uptimeMs. The difference is taken
// modulo 2^32 so it stays right when the tick wraps; 0 becomes 10 so that a
// speed computed from it never divides by zero.
constexpr int elapsedSince(int startMs, int nowMs) {
  const auto elapsed =
      static_cast<int>(static_cast<std::uint32_t>(nowMs) - static_cast<std::uint32_t>(startMs));
  return elapsed == 0 ? 10 : elapsed;
}

}  // namespace pindlewick
