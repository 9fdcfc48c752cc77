// The timer adapter: waiting on an operating-system timer of the monotonic
// clock while the calling thread's events are handled as they arrive.
#pragma once

#include <cstdint>

namespace pindlewick {

struct WaitLength {
  std::int64_t seconds = 0;
  long nanoseconds = 0;  // 0 .. 999999999
};

// Returns once the length has passed. Events that arrive for the calling
// thread's pump meanwhile are handled at once and do not end the wait early.
// When the timer cannot be made or waited on, sleeps until the same moment.
void waitProcessingEvents(WaitLength length);

}  // namespace pindlewick
