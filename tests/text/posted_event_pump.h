// A test pump whose events are posted by other threads through the
// platform's own wake-up: an eventfd on Linux, the thread's message queue on
// Windows. Make it on the thread that waits.
#pragma once

#include <cstdint>

#include "text/events.h"

namespace pindlewick {

class PostedEventPump : public EventPump {
 public:
  PostedEventPump();
  ~PostedEventPump() override;
  PostedEventPump(const PostedEventPump&) = delete;
  PostedEventPump& operator=(const PostedEventPump&) = delete;

  int wakeDescriptor() const override;
  // Counts the events posted since the last call into handled.
  void processPending() override;
  // Posts one event; callable from any thread.
  void post() const;

  int handled = 0;

 private:
  std::uintptr_t queue_;  // the eventfd, or the waiting thread's id
};

}  // namespace pindlewick
