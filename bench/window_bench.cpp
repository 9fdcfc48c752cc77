// How responsive the window stays while one batch downloads URL at full
// speed: the real window offscreen, a real click, the real WindowState.
// Prints one line, "longest_stall_ms window_thread_cpu_percent saved_bytes":
// the stall is the largest gap between two timeouts of a 10 ms timer on the
// window's thread minus those 10 ms; the CPU share is that thread's CPU time
// over the wall time from the click to "任务完成。". run_all.sh runs it.
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "bench/window_session.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kTimerPeriod = 10ms;

std::chrono::nanoseconds threadCpuTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// A timer that should fire every 10 ms on the thread that makes it; keeps the
// largest gap it saw between two of its timeouts.
class StallMeter {
 public:
  StallMeter() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const Clock::time_point now = Clock::now();
      longestGap_ = std::max(longestGap_, now - last_);
      last_ = now;
    });
    timer_.start(kTimerPeriod);
  }
  std::chrono::duration<double, std::milli> longestStall() const { return longestGap_ - kTimerPeriod; }

 private:
  QTimer timer_;
  Clock::time_point last_ = Clock::now();
  Clock::duration longestGap_{};
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s URL\n", argv[0]);
    return 2;
  }
  pindlewick::WindowSession session(argv[1]);
  const Clock::time_point wallStart = Clock::now();
  const std::chrono::nanoseconds cpuStart = threadCpuTime();
  const StallMeter meter;
  session.clickStart();
  if (!session.serveUntil([&] { return session.finished(); }, 300s)) {
    std::fprintf(stderr, "the batch did not finish\n");
    return 1;
  }
  const std::chrono::duration<double> cpu = threadCpuTime() - cpuStart;
  const std::chrono::duration<double> wall = Clock::now() - wallStart;
  std::printf("%.1f %.1f %ju\n", meter.longestStall().count(), 100 * cpu / wall, session.savedBytes());
  return 0;
}
