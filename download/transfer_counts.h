// The numbers a download reports to its progress callback, which speaks in
// signed 32-bit values while the download itself counts in 64 bits.
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

// The low 32 bits of a byte count, read as signed: past 2 GiB it turns
// negative, while the count and the file stay exact.
constexpr int low32(std::int64_t count) {
  return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(count)));
}

}  // namespace pindlewick
