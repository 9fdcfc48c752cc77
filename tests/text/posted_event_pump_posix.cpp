#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "tests/text/posted_event_pump.h"

namespace pindlewick {

PostedEventPump::PostedEventPump()
    : queue_(static_cast<std::uintptr_t>(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))) {}

PostedEventPump::~PostedEventPump() { ::close(wakeDescriptor()); }

int PostedEventPump::wakeDescriptor() const { return static_cast<int>(queue_); }

void PostedEventPump::processPending() {
  std::uint64_t count = 0;
  if (::read(wakeDescriptor(), &count, sizeof count) == sizeof count) noteHandled(static_cast<int>(count));
}

void PostedEventPump::post() const {
  const std::uint64_t one = 1;
  EXPECT_EQ(::write(wakeDescriptor(), &one, sizeof one), static_cast<ssize_t>(sizeof one));
}

}  // namespace pindlewick
