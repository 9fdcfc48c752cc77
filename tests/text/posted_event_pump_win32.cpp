#include <gtest/gtest.h>
#include <windows.h>

#include "tests/text/posted_event_pump.h"

namespace pindlewick {

PostedEventPump::PostedEventPump() : queue_(::GetCurrentThreadId()) {
  // A thread has a message queue once it first asks for a message.
  MSG message;
  ::PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

PostedEventPump::~PostedEventPump() = default;

int PostedEventPump::wakeDescriptor() const { return -1; }

void PostedEventPump::processPending() {
  MSG message;
  int count = 0;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
    if (message.message == WM_APP) ++count;
  }
  noteHandled(count);
}

void PostedEventPump::post() const {
  EXPECT_NE(::PostThreadMessageW(static_cast<DWORD>(queue_), WM_APP, 0, 0), 0);
}

}  // namespace pindlewick
