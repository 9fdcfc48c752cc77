// The work the download adds to every 10240-byte block besides moving bytes:
// one progress report formatted into the window's texts.
#include <benchmark/benchmark.h>

#include "app/progress_display.h"

namespace pindlewick {
namespace {

class SilentWindow : public WindowPort {
 public:
  std::string readEditBox(EditBox) override { return {}; }
  void setLabel(Label, TextView caption) override { benchmark::DoNotOptimize(caption.data()); }
  void setProgressBar(int position) override { benchmark::DoNotOptimize(position); }
  void showMessage(TextView, TextView) override {}
};

void BM_ShowProgressPerBlock(benchmark::State& state) {
  SilentWindow window;
  ProgressReport report{.contentLength = std::int64_t{1} << 30, .elapsedMs = 1234};
  for (auto _ : state) {
    report.totalBytes += 10240;
    report.receivedBytes = report.totalBytes;
    showProgress(window, report);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 10240);
}
BENCHMARK(BM_ShowProgressPerBlock);

}  // namespace
}  // namespace pindlewick

BENCHMARK_MAIN();
