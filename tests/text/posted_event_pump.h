// A test pump whose events are posted by other threads through the
// platform's own wake-up: an eventfd on Linux, the thread's message queue on
// Windows. Make it on the thread that waits. A poster can wait until what it
// posted has been handled.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "text/events.h"

namespace pindlewick {

class PostedEventPump : public EventPump {
 public:
  PostedEventPump();
  ~PostedEventPump() override;
  PostedEventPump(const PostedEventPump&) = delete;
  PostedEventPump& operator=(const PostedEventPump&) = delete;

  int wakeDescriptor() const override;
  // Counts the events posted since the last call as handled.
  void processPending() override;
  // Posts one event; callable from any thread.
  void post() const;

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
  void noteHandled(int count) {
    {
      const std::lock_guard lock(mutex_);
      handled_ += count;
    }
    changed_.notify_all();
  }

  std::uintptr_t queue_;  // the eventfd, or the waiting thread's id
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int handled_ = 0;
  bool gaveUp_ = false;
};

}  // namespace pindlewick
