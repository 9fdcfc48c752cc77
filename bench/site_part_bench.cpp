// The built-in resolver's cost per part: milliseconds from "开始解析nP。" to
// the first byte of that part's download, against the tests' fixture site on
// 127.0.0.1, over the 12 parts of its video (the first part also pays for
// the keys, the cookies and the video's parts). Prints the median and the
// first part's figure, for run_all.sh.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

#include "app/pipeline.h"
#include "tests/site/fixture_site.h"
#include "tests/support/test_servers.h"
#include "text/codepage.h"

namespace pindlewick {
namespace {

using Clock = std::chrono::steady_clock;

// Notes when each part starts and when its first progress row arrives.
class TimingWindow final : public WindowPort {
 public:
  explicit TimingWindow(std::string folder) : folder_(std::move(folder)) {}

  std::string readEditBox(EditBox box) override {
    switch (box) {
      case EditBox::pageUrl: return "BV17x411w7KC";
      case EditBox::firstPart: return "1";
      case EditBox::lastPart: return "12";
      case EditBox::folder: return folder_;
    }
    return {};
  }
  void setLabel(Label label, TextView caption) override {
    if (label == Label::status && gbkToUtf8(caption).starts_with("开始解析")) {
      started_ = Clock::now();
      firstByteSeen_ = false;
    } else if (label == Label::speed && !firstByteSeen_) {
      firstByteSeen_ = true;
      costsMs_.push_back(std::chrono::duration<double, std::milli>(Clock::now() - started_).count());
    }
  }
  void setProgressBar(int) override {}
  void showMessage(TextView message, TextView) override {
    std::fprintf(stderr, "%s\n", gbkToUtf8(message).c_str());
  }

  const std::vector<double>& costsMs() const { return costsMs_; }

 private:
  std::string folder_;
  Clock::time_point started_;
  bool firstByteSeen_ = true;
  std::vector<double> costsMs_;
};

int run() {
  const testing::FixtureSite site;
  const testing::TempDir folder;
  TimingWindow window(folder.path().string() + "/");
  runBatch(window, PartSource{PartSource::Kind::site, site.base()});
  std::vector<double> costs = window.costsMs();
  if (costs.size() != 12) {
    std::fprintf(stderr, "expected 12 parts, timed %zu\n", costs.size());
    return 1;
  }
  const double first = costs.front();
  std::nth_element(costs.begin(), costs.begin() + 6, costs.end());
  std::printf("%.2f %.2f\n", costs[6], first);
  return 0;
}

}  // namespace
}  // namespace pindlewick

int main() { return pindlewick::run(); }
