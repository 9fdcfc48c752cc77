// A pause that keeps the calling thread's events flowing while it waits.
#pragma once

#include <cstdint>
#include <optional>

namespace pindlewick {

// Units of pauseResponsive's interval.
inline constexpr int kMilliseconds = 0;
inline constexpr int kSeconds = 1;
inline constexpr int kMinutes = 2;
inline constexpr int kHours = 3;

// The due time of a pause in units of 100 ns, negative for "from now":
// interval × milliseconds-per-unit × −10000, computed in doubles and truncated.
// A unit outside the table is its own factor.
std::int64_t pauseDueTime(std::optional<int> interval, int unit);

// Waits until the due time has passed, handling the calling thread's events
// (see events.h) as they arrive. Always returns true.
bool pauseResponsive(std::optional<int> interval, int unit = kMilliseconds);

}  // namespace pindlewick
