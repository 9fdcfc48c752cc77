#include "text/pause.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

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

// A pump whose events are counts posted to an eventfd by other threads. A
// poster can wait until what it posted has been handled.
class EventFdPump : public EventPump {
 public:
  EventFdPump() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~EventFdPump() override { ::close(fd_); }
  int wakeDescriptor() const override { return fd_; }
  void processPending() override {
    std::uint64_t count = 0;
    if (::read(fd_, &count, sizeof count) != sizeof count) return;
    {
      const std::lock_guard lock(mutex_);
      handled_ += static_cast<int>(count);
    }
    changed_.notify_all();
  }
  void post() const {
    const std::uint64_t one = 1;
    EXPECT_EQ(::write(fd_, &one, sizeof one), static_cast<ssize_t>(sizeof one));
  }
  int handled() const {
    const std::lock_guard lock(mutex_);
    return handled_;
  }
  // Waits until count events have been handled or giveUp() is called.
  void awaitHandled(int count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return handled_ >= count || gaveUp_; });
  }
  void giveUp() {
    {
      const std::lock_guard lock(mutex_);
      gaveUp_ = true;
    }
    changed_.notify_all();
  }

 private:
  int fd_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int handled_ = 0;
  bool gaveUp_ = false;
};

TEST(PauseResponsive, HandlesEventsWithoutEndingEarly) {
  EventFdPump pump;
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
  EventFdPump pump;
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
