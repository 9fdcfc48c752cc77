// The seam through which a thread that serves an event loop keeps it alive
// while the program waits, and the millisecond tick.
//
// A front end installs an EventPump on the thread that runs its event loop.
// Threads without one (the batch workers, the tests) process nothing.
#pragma once

namespace pindlewick {

class EventPump {
 public:
  virtual ~EventPump() = default;
  // A descriptor that turns readable while events wait for this thread, or -1
  // when there is none to wait on.
  virtual int wakeDescriptor() const = 0;
  // Handles every event that waits for the calling thread, then returns.
  virtual void processPending() = 0;
};

// Installs a pump for the calling thread for the lifetime of this object.
class ScopedEventPump {
 public:
  explicit ScopedEventPump(EventPump& pump);
  ~ScopedEventPump();
  ScopedEventPump(const ScopedEventPump&) = delete;
  ScopedEventPump& operator=(const ScopedEventPump&) = delete;

 private:
  EventPump* previous_;
};

// The pump of the calling thread, or nullptr.
EventPump* currentEventPump();

// Handles the events waiting for the calling thread; does nothing on a thread
// without a pump.
void processPendingEvents();

// Milliseconds of a monotonic clock, read as a signed 32-bit value: it wraps
// around, so only differences taken as 32-bit values are meaningful.
int uptimeMs();

}  // namespace pindlewick
