#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/progress_display.h"
#include "tests/support/recording_window.h"

namespace pindlewick {
namespace {

constexpr std::int64_t kGiB = std::int64_t{1} << 30;

struct ProgressCase {
  ProgressReport report;
  std::vector<std::string> shown;
};

TEST(ShowProgressTest, WritesSpeedThenBarThenPercentage) {
  const std::vector<ProgressCase> cases = {
      {{3, 1, 1000, 5000}, {"标签6 4.88KB/秒", "进度条1 33", "标签7 33.33%"}},
      // 10 ms is what a block within the first tick reports.
      {{3, 2, 10, 10240}, {"标签6 1000KB/秒", "进度条1 66", "标签7 66.67%"}},
      {{8, 1, 1000, 1024}, {"标签6 1KB/秒", "进度条1 12", "标签7 12.5%"}},
      {{800, 1, 1000, 1}, {"标签6 0KB/秒", "进度条1 0", "标签7 0.13%"}},
      {{9999, 9998, 1000, 100}, {"标签6 0.1KB/秒", "进度条1 99", "标签7 99.99%"}},
      {{100, 100, 1000, 100}, {"标签6 0.1KB/秒", "进度条1 100", "标签7 100%"}},
      // After a resume the total counts from the offset while the length may
      // be the rest only: the share passes 100.
      {{40, 107, 1000, 67}, {"标签6 0.07KB/秒", "进度条1 267", "标签7 267.5%"}},
      // Files past 2 GiB count in 64 bits all the way to the row.
      {{3 * kGiB, 3 * kGiB / 2, 60000, 3 * kGiB / 2},
       {"标签6 26214.4KB/秒", "进度条1 50", "标签7 50%"}},
      {{5 * kGiB, 5 * kGiB - 1024, 100000, 5 * kGiB - 1024},
       {"标签6 52428.79KB/秒", "进度条1 99", "标签7 100%"}},
      {{16 * kGiB, 12 * kGiB, 1000, 12 * kGiB},
       {"标签6 12582912KB/秒", "进度条1 75", "标签7 75%"}},
      // Without a length, only the speed.
      {{0, 5000, 1000, 5000}, {"标签6 4.88KB/秒"}},
  };
  for (const ProgressCase& c : cases) {
    testing::RecordingWindow window;
    showProgress(window, c.report);
    EXPECT_EQ(window.events, c.shown) << c.report.contentLength << " " << c.report.totalBytes
                                      << " " << c.report.elapsedMs << " "
                                      << c.report.receivedBytes;
  }
}

}  // namespace
}  // namespace pindlewick
