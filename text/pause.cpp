#include "text/pause.h"

#include "text/monotonic_wait.h"
#include "text/text.h"

namespace pindlewick {
namespace {

double millisecondsPerUnit(int unit) {
  switch (unit) {
    case kMilliseconds: return 1;
    case kSeconds: return 1000;
    case kMinutes: return 60000;
    case kHours: return 3600000;
    default: return unit;
  }
}

}  // namespace

std::int64_t pauseDueTime(std::optional<int> interval, int unit) {
  // Without an interval the program has always waited "forever" for unit 0:
  // both the interval and the factor become 18000000.
  constexpr double kForever = 18000000;
  double factor = millisecondsPerUnit(unit);
  double count = interval.value_or(0);
  if (!interval && unit == kMilliseconds) count = factor = kForever;
  return truncateToInt(count * factor * -10000.0);
}

bool pauseResponsive(std::optional<int> interval, int unit) {
  const std::int64_t due = pauseDueTime(interval, unit);
  if (due >= 0) return true;  // a due time that is not in the future has passed
  // The magnitude in unsigned arithmetic, so that the most negative value works too.
  const std::uint64_t hundredsOfNs = 0 - static_cast<std::uint64_t>(due);
  waitProcessingEvents(WaitLength{static_cast<std::int64_t>(hundredsOfNs / 10'000'000),
                                  static_cast<long>(hundredsOfNs % 10'000'000) * 100});
  return true;
}

}  // namespace pindlewick
