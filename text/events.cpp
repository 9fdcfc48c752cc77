#include "text/events.h"

#include <chrono>
#include <cstdint>

namespace pindlewick {
namespace {
thread_local EventPump* threadPump = nullptr;
}

ScopedEventPump::ScopedEventPump(EventPump& pump) : previous_(threadPump) { threadPump = &pump; }

ScopedEventPump::~ScopedEventPump() { threadPump = previous_; }

EventPump* currentEventPump() { return threadPump; }

void processPendingEvents() {
  if (threadPump != nullptr) threadPump->processPending();
}

int uptimeMs() {
  const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count();
  return static_cast<int>(static_cast<std::uint32_t>(ms));
}

}  // namespace pindlewick
