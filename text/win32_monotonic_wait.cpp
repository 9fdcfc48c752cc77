// Windows implementation: a waitable timer waited on with
// MsgWaitForMultipleObjectsEx, so the thread's message queue (its event pump)
// is served while the timer runs. The deadline is kept on the steady clock and
// the timer re-armed for what is left, so a timer that fires a tick early never
// ends the wait early.
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <type_traits>

#include "text/events.h"
#include "text/monotonic_wait.h"

namespace pindlewick {
namespace {

using Clock = std::chrono::steady_clock;
using HundredsOfNs = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;

struct HandleCloser {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// Lengths beyond what the clock can add (centuries) wait "forever".
Clock::time_point deadlineAfter(WaitLength length) {
  const Clock::time_point now = Clock::now();
  const auto seconds = std::chrono::seconds(length.seconds);
  if (seconds >= std::chrono::duration_cast<std::chrono::seconds>(Clock::time_point::max() - now) -
                     std::chrono::seconds(1)) {
    return Clock::time_point::max();
  }
  return now + seconds +
         std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(length.nanoseconds));
}

void sleepUntil(Clock::time_point deadline) { std::this_thread::sleep_until(deadline); }

// Arms the timer to fire once after the remaining time, rounded up to 100 ns.
bool arm(HANDLE timer, Clock::duration remaining) {
  LARGE_INTEGER due{};
  due.QuadPart = -std::chrono::ceil<HundredsOfNs>(remaining).count();  // negative: from now
  return ::SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) != 0;
}

// Waits for the timer, handing the messages that arrive meanwhile to the pump.
// False when the wait itself fails.
bool waitForTimer(HANDLE timer, EventPump* pump) {
  while (true) {
    const DWORD woken =
        pump != nullptr
            ? ::MsgWaitForMultipleObjectsEx(1, &timer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE)
            : ::WaitForSingleObject(timer, INFINITE);
    if (woken == WAIT_OBJECT_0) return true;
    if (pump == nullptr || woken != WAIT_OBJECT_0 + 1) return false;
    pump->processPending();
  }
}

}  // namespace

void waitProcessingEvents(WaitLength length) {
  const Clock::time_point deadline = deadlineAfter(length);
  const Handle timer(::CreateWaitableTimerW(nullptr, TRUE, nullptr));
  if (!timer) return sleepUntil(deadline);

  EventPump* pump = currentEventPump();
  for (Clock::time_point now = Clock::now(); now < deadline; now = Clock::now()) {
    if (!arm(timer.get(), deadline - now) || !waitForTimer(timer.get(), pump)) {
      return sleepUntil(deadline);
    }
  }
}

}  // namespace pindlewick
