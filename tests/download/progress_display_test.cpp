#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "download/download.h"
#include "tests/support/recording_window.h"

namespace pindlewick {
namespace {

struct ProgressCase {
  int contentLength;
  int totalBytes;
  int elapsedMs;
  int receivedBytes;
  std::vector<std::string> shown;
};

TEST(ShowProgressTest, WritesSpeedThenBarThenPercentage) {
  const std::vector<ProgressCase> cases = {
      {3, 1, 1000, 5000, {"标签6 4.88KB/秒", "进度条1 33", "标签7 33.33%"}},
      // 10 ms is what a block within the first tick reports.
      {3, 2, 10, 10240, {"标签6 1000KB/秒", "进度条1 66", "标签7 66.67%"}},
      {8, 1, 1000, 1024, {"标签6 1KB/秒", "进度条1 12", "标签7 12.5%"}},
      {800, 1, 1000, 1, {"标签6 0KB/秒", "进度条1 0", "标签7 0.13%"}},
      {9999, 9998, 1000, 100, {"标签6 0.1KB/秒", "进度条1 99", "标签7 99.99%"}},
      {100, 100, 1000, 100, {"标签6 0.1KB/秒", "进度条1 100", "标签7 100%"}},
      // After a resume the total counts from the offset while the length may
      // be the rest only: the share passes 100.
      {40, 107, 1000, 67, {"标签6 0.07KB/秒", "进度条1 267", "标签7 267.5%"}},
      // Past 2 GiB the total arrives negative.
      {-1294967296, -1294967296, 1000, 1024, {"标签6 1KB/秒", "进度条1 100", "标签7 100%"}},
      // Without a length, only the speed.
      {0, 5000, 1000, 5000, {"标签6 4.88KB/秒"}},
  };
  for (const ProgressCase& c : cases) {
    testing::RecordingWindow window;
    showProgress(window, c.contentLength, c.totalBytes, c.elapsedMs, c.receivedBytes);
    EXPECT_EQ(window.events, c.shown) << c.contentLength << " " << c.totalBytes << " "
                                      << c.elapsedMs << " " << c.receivedBytes;
  }
}

}  // namespace
}  // namespace pindlewick
