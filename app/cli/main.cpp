// pindlewick-cli [--service BASE | --site BASE] [--trace] [--continue] [--retries N] URL FIRST LAST FOLDER
//
// Runs one batch in the terminal. The four arguments stand for the window's
// four edit boxes. stdout: each status line (or, with --trace, every write to
// any control as "name<TAB>text"); stderr: messages, on a terminal a live
// progress row, and a closing summary. Exit status: 0 all parts downloaded
// (or already complete), 1 a part failed, 2 usage. The platform's entry point
// (entry_posix.cpp, entry_win32.cpp) hands over the arguments in UTF-8.
#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/command_line.h"
#include "app/initial_state.h"
#include "app/pipeline.h"
#include "text/codepage.h"

namespace pindlewick {
namespace {

constexpr int kExitAllDownloaded = 0;
constexpr int kExitPartFailed = 1;
constexpr int kExitUsage = 2;

constexpr std::string_view kUsage =
    "usage: pindlewick-cli [--service BASE | --site BASE] [--trace] [--continue] [--retries N] URL FIRST LAST FOLDER\n"
    "  URL     the video's page address\n"
    "  FIRST   the first part number\n"
    "  LAST    the last part number\n"
    "  FOLDER  the save folder, put in front of each file name as typed\n"
    "  --service BASE  ask this parse service (scheme, host, optional port) for each part\n"
    "  --site BASE     without a service, the site's API at this base (default https://api.bilibili.com)\n"
    "  --trace         print every write to a control instead of the status lines\n"
    "  --continue      resume a part whose file exists from the file's size\n"
    "  --retries N     try a part that failed for a passing reason up to N more times\n";

// More tries than this would wait for days.
constexpr int kMostRetries = 16;

struct Options {
  std::optional<std::string> serviceBase;
  std::optional<std::string> siteBase;
  bool trace = false;
  BatchOptions batch;
  std::array<std::string, 4> editBoxes;  // by EditBox, UTF-8 as given
};

// Each write ends with a flush: where the streams are buffered (Windows, so
// that a character's bytes reach the console together) every piece then
// shows at once, and stderr and stdout stay in order.
class TerminalWindow final : public WindowPort {
 public:
  TerminalWindow(const Options& options, bool stderrIsTerminal)
      : options_(options), liveRow_(!options.trace && stderrIsTerminal) {}

  std::string readEditBox(EditBox box) override {
    return options_.editBoxes[static_cast<std::size_t>(box)];
  }

  void setLabel(Label label, TextView caption) override {
    const std::lock_guard lock(mutex_);
    if (options_.trace) return traceLine(controlName(label), gbkToUtf8(caption));
    if (label == Label::status) {
      clearRow();
      std::printf("%s\n", gbkToUtf8(caption).c_str());
      std::fflush(stdout);
      return;
    }
    row_[static_cast<std::size_t>(label)] = caption;
    // The percentage is the last of a block's three writes, so the row is
    // whole then; without a content length only the speed comes, less often.
    drawRow(label == Label::percent ? kRowRefresh : kRowRefreshSpeedOnly);
  }

  void setProgressBar(int position) override {
    const std::lock_guard lock(mutex_);
    if (options_.trace) return traceLine(kProgressBarName, std::to_string(position));
    barPosition_ = position;
  }

  void showMessage(TextView message, TextView caption) override {
    const std::lock_guard lock(mutex_);
    clearRow();
    std::fprintf(stderr, "%s%s\n", gbkToUtf8(caption).c_str(), gbkToUtf8(message).c_str());
    std::fflush(stderr);
  }

  // Without a trace or a terminal nobody sees the row, so it is not even made.
  bool showsProgress() const override { return options_.trace || liveRow_; }

 private:
  static void traceLine(std::string_view name, const std::string& text) {
    std::printf("%.*s\t%s\n", static_cast<int>(name.size()), name.data(), text.c_str());
    std::fflush(stdout);
  }

  static constexpr std::chrono::milliseconds kRowRefresh{100};
  static constexpr std::chrono::milliseconds kRowRefreshSpeedOnly{1000};

  void drawRow(std::chrono::milliseconds minimumGap) {
    if (!liveRow_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDrawn_ < minimumGap) return;
    lastDrawn_ = now;
    constexpr int kWidth = 30;
    const int filled = std::clamp(barPosition_, 0, 100) * kWidth / 100;
    std::fprintf(stderr, "\r\033[K%s [%s%s] %s",
                 gbkToUtf8(row_[static_cast<std::size_t>(Label::speed)]).c_str(),
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(kWidth - filled), ' ').c_str(),
                 gbkToUtf8(row_[static_cast<std::size_t>(Label::percent)]).c_str());
    std::fflush(stderr);
    rowShown_ = true;
  }

  // Also restarts the refresh clock, so a new download's row first shows
  // once its first blocks are in.
  void clearRow() {
    lastDrawn_ = std::chrono::steady_clock::now();
    if (!rowShown_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    rowShown_ = false;
  }

  const Options& options_;
  const bool liveRow_;
  std::mutex mutex_;
  std::array<Text, 3> row_;  // by Label, code page 936 until drawn
  int barPosition_ = 0;
  bool rowShown_ = false;
  std::chrono::steady_clock::time_point lastDrawn_{};
};

std::optional<int> retryCount(std::string_view text) {
  int count = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  if (error != std::errc() || end != text.data() + text.size() || count < 0 || count > kMostRetries) {
    return std::nullopt;
  }
  return count;
}

std::string partList(const std::vector<int>& parts) {
  std::string list;
  for (int part : parts) list += (list.empty() ? "" : " ") + std::to_string(part) + "P";
  return list;
}

// One line after the batch: how many parts were downloaded, which failed,
// how many were already complete.
void printSummary(const BatchSummary& summary) {
  std::string line = "汇总：下载 " + std::to_string(summary.downloaded.size()) + "，失败 " +
                     std::to_string(summary.failed.size());
  if (!summary.failed.empty()) line += "（" + partList(summary.failed) + "）";
  line += "，已完整 " + std::to_string(summary.alreadyComplete.size()) + "\n";
  std::fputs(line.c_str(), stderr);
}

// nullopt for a usage error.
std::optional<Options> parseArguments(const std::vector<std::string>& arguments) {
  Options options;
  std::vector<std::string_view> positional;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--trace") {
      options.trace = true;
    } else if (arguments[i] == "--continue") {
      options.batch.continueParts = true;
    } else if (arguments[i] == "--retries" && i + 1 < arguments.size()) {
      const std::optional<int> retries = retryCount(arguments[++i]);
      if (!retries) return std::nullopt;
      options.batch.retries = *retries;
    } else if (arguments[i] == "--service" && i + 1 < arguments.size()) {
      options.serviceBase = std::string(arguments[++i]);
    } else if (arguments[i] == "--site" && i + 1 < arguments.size()) {
      options.siteBase = std::string(arguments[++i]);
    } else if (arguments[i].starts_with("--")) {
      return std::nullopt;
    } else {
      positional.push_back(arguments[i]);
    }
  }
  if (positional.size() != options.editBoxes.size()) return std::nullopt;
  for (std::size_t i = 0; i < positional.size(); ++i) options.editBoxes[i] = positional[i];
  return options;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& arguments, bool stderrIsTerminal) {
  if (arguments.size() == 1 && arguments[0] == "--help") {
    std::fputs(kUsage.data(), stdout);
    return kExitAllDownloaded;
  }
  const std::optional<Options> options = parseArguments(arguments);
  if (!options) {
    std::fputs(kUsage.data(), stderr);
    return kExitUsage;
  }
  TerminalWindow window(*options, stderrIsTerminal);
  const PartSource source = partSourceFor(options->serviceBase, options->siteBase);
  const BatchSummary summary = runBatch(window, source, options->batch);
  printSummary(summary);
  return summary.failed.empty() ? kExitAllDownloaded : kExitPartFailed;
}

}  // namespace pindlewick
