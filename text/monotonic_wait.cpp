// Linux implementation: a timerfd on CLOCK_MONOTONIC, armed for an absolute
// deadline and waited on with poll() beside the event pump's descriptor.
#include "text/monotonic_wait.h"

#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "text/events.h"

namespace pindlewick {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

timespec deadlineAfter(WaitLength length) {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  timespec deadline{};
  deadline.tv_sec = static_cast<time_t>(now.tv_sec + length.seconds);
  deadline.tv_nsec = now.tv_nsec + length.nanoseconds;
  if (deadline.tv_nsec >= 1'000'000'000) {
    deadline.tv_nsec -= 1'000'000'000;
    ++deadline.tv_sec;
  }
  return deadline;
}

void sleepUntil(const timespec& deadline) {
  while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

// A timer that fires once at the deadline, or -1 when it cannot be made.
int armedTimer(const timespec& deadline) {
  const int fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
  if (fd < 0) return -1;
  itimerspec setting{};
  setting.it_value = deadline;
  if (::timerfd_settime(fd, TFD_TIMER_ABSTIME, &setting, nullptr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

void waitProcessingEvents(WaitLength length) {
  const timespec deadline = deadlineAfter(length);
  const FileDescriptor timer(armedTimer(deadline));
  if (timer.get() < 0) return sleepUntil(deadline);

  EventPump* pump = currentEventPump();
  int wake = pump != nullptr ? pump->wakeDescriptor() : -1;
  while (true) {
    pollfd watched[2] = {{timer.get(), POLLIN, 0}, {wake, POLLIN, 0}};
    const int ready = ::poll(watched, wake >= 0 ? 2 : 1, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (watched[0].revents & (POLLERR | POLLNVAL)) != 0) return sleepUntil(deadline);
    if (watched[0].revents & POLLIN) return;
    if (watched[1].revents & POLLIN) {
      pump->processPending();
    } else if (watched[1].revents != 0) {
      wake = -1;  // a broken pump descriptor must not spin the wait
    }
  }
}

}  // namespace pindlewick
