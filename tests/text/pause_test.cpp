#include "text/pause.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "tests/text/posted_event_pump.h"
#include "text/events.h"

namespace pindlewick {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(PauseDueTime, UnitTable) {
  struct Case {
    std::optional<int> interval;
    int unit;
    std::int64_t expected;
  };
  const Case cases[] = {
      {1000, kMilliseconds, -10'000'000},
      {2, kSeconds, -20'000'000},
      {1, kMinutes, -600'000'000},
      {1, kHours, -36'000'000'000},
      {0, kMilliseconds, 0},
      {0, kHours, 0},
      {3, 7, -210'000},                             // a unit outside the table is its own factor
      {{}, kMilliseconds, -3'240'000'000'000'000'000},  // "forever": 18000000 × 18000000
      {{}, kSeconds, 0},
      {2147483647, 2147483647, std::numeric_limits<std::int64_t>::min()},  // out of range
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pauseDueTime(c.interval, c.unit), c.expected)
        << c.interval.value_or(-1) << " unit " << c.unit;
  }
}

milliseconds timeOf(auto&& action) {
  const auto start = steady_clock::now();
  action();
  return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start);
}

TEST(PauseResponsive, WaitsTheInterval) {
  EXPECT_GE(timeOf([] { EXPECT_TRUE(pauseResponsive(150)); }), milliseconds(150));
  EXPECT_LT(timeOf([] { EXPECT_TRUE(pauseResponsive(0, kHours)); }), milliseconds(1000));
  EXPECT_LT(timeOf([] { EXPECT_TRUE(pauseResponsive(-5, kSeconds)); }), milliseconds(1000));
}

TEST(PauseResponsive, HandlesEventsWithoutEndingEarly) {
  PostedEventPump pump;
  ScopedEventPump installed(pump);
  // The poster posts each event once the one before it has been handled and
  // never sleeps: five hand-offs between threads, far inside the pause even
  // on a loaded machine.
  constexpr int kEvents = 5;
  std::thread poster([&] {
    for (int i = 1; i <= kEvents; ++i) {
      pump.post();
      pump.awaitHandled(i);
    }
  });
  const milliseconds waited = timeOf([] { pauseResponsive(500); });
  pump.giveUp();
  poster.join();
  EXPECT_GE(waited, milliseconds(500));
  EXPECT_EQ(pump.handled(), kEvents);
}

TEST(ProcessPendingEvents, UsesThePumpOfTheCallingThreadOnly) {
  processPendingEvents();  // no pump: nothing happens
  PostedEventPump pump;
  {
    ScopedEventPump installed(pump);
    pump.post();
    processPendingEvents();
    EXPECT_EQ(pump.handled(), 1);
    std::thread other([&] { EXPECT_EQ(currentEventPump(), nullptr); });
    other.join();
  }
  EXPECT_EQ(currentEventPump(), nullptr);
}

TEST(UptimeMs, AdvancesWithTheClock) {
  const int before = uptimeMs();
  std::this_thread::sleep_for(milliseconds(20));
  const int difference = static_cast<int>(static_cast<std::uint32_t>(uptimeMs()) -
                                          static_cast<std::uint32_t>(before));
  EXPECT_GE(difference, 20);
  EXPECT_LT(difference, 10000);
}

}  // namespace
}  // namespace pindlewick
