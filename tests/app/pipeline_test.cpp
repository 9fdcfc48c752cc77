// The whole job, from the page address to the files, against a stand-in parse
// service on 127.0.0.1: through the command line (its output contract), and
// in-process with a window whose boxes change while the batch runs.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "app/pipeline.h"
#include "app/window_state.h"
#include "tests/app/parse_service.h"
#include "tests/support/command_line.h"
#include "tests/support/recording_window.h"
#include "tests/support/test_servers.h"
#include "text/codepage.h"

namespace pindlewick {
namespace {

namespace fs = std::filesystem;
using testing::ChildProcess;
using testing::ParseService;
using testing::TempDir;

constexpr std::size_t kMediaSize = testing::kParseServiceMediaSize;
const std::string kPage = "https://www.example.com/video/BV1xx";

using testing::CliRun;

CliRun runCli(const TempDir& scratch, const std::vector<std::string>& arguments,
              const std::string& prefix = "") {
  return testing::runProgram(PINDLEWICK_CLI, scratch, arguments, prefix);
}

TEST(CommandLine, DownloadsTheRangeAndReportsEachPart) {
  // The fourth part's title holds 誠 (D5 5C: a second byte that looks like a backslash)
  // and a Thai letter that code page 936 cannot hold.
  ParseService service({"--empty", "2", "--utf8", "3", "--utf8", "4", "--title", "4", "誠 ก 4"});
  TempDir scratch;
  // The folder is used as typed, even with characters code page 936 cannot hold.
  const fs::path folder = scratch.path() / "保存 søren 동영상 🎬";
  fs::create_directory(folder);
  const CliRun run = runCli(scratch, {"--service", service.base(), kPage, "1", "4", folder.string() + "/"});

  const std::vector<std::string> expected = {
      "开始解析1P。", "解析1P完成，正在下载。", "开始解析2P。", "2P解析失败。",
      "开始解析3P。", "解析3P完成，正在下载。", "开始解析4P。", "解析4P完成，正在下载。",
      "任务完成。"};
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.exitStatus, 1) << "part 2 failed";
  EXPECT_EQ(run.err, "汇总：下载 3，失败 1（2P），已完整 0\n");
  for (const char* name : {"第1集 教程.mp4", "第3集 教程.mp4", "誠 ? 4.mp4"}) {
    EXPECT_EQ(fs::file_size(folder / name), kMediaSize) << name;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
}

TEST(CommandLine, TraceShowsEveryWriteAndSucceeds) {
  ParseService service;
  TempDir scratch;
  const CliRun run =
      runCli(scratch, {"--trace", "--service", service.base(), kPage, "5", "5", scratch.path().string() + "/"});
  EXPECT_EQ(run.exitStatus, 0);
  ASSERT_GE(run.out.size(), 6u);
  EXPECT_EQ(run.out.front(), "标签5\t开始解析5P。");
  EXPECT_EQ(run.out[1], "标签5\t解析5P完成，正在下载。");
  EXPECT_EQ(run.out[run.out.size() - 3], "进度条1\t100");
  EXPECT_EQ(run.out[run.out.size() - 2], "标签7\t100%");
  EXPECT_EQ(run.out.back(), "标签5\t任务完成。");
  EXPECT_EQ(testing::readFile(scratch.path() / "第5集 教程.mp4"), testing::patternBytes(kMediaSize));
}

TEST(CommandLine, BadAnswersAndUnsafeTitlesFailThePart) {
  ParseService service({"--no-markers", "1", "--title", "2", "../escaped", "--title", "3", ".."});
  TempDir scratch;
  const fs::path folder = scratch.path() / "inside";
  fs::create_directory(folder);
  const CliRun run = runCli(scratch, {"--service", service.base(), kPage, "1", "3", folder.string() + "/"});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out[1], "1P解析失败。");
  EXPECT_EQ(run.err, "信息：不能打开本地的文件!\n信息：不能打开本地的文件!\n汇总：下载 0，失败 3（1P 2P 3P），已完整 0\n");
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_FALSE(fs::exists(scratch.path() / "escaped.mp4"));
}

TEST(CommandLine, AMissingMediaFileFailsThePartAndCreatesNoFile) {
  // A 404 page is never stored as the video nor counted as downloaded.
  ParseService mediaHost;
  ParseService service({"--link", "1", mediaHost.base() + "/gone/part1.mp4"});
  TempDir scratch;
  const CliRun run = runCli(scratch, {"--service", service.base(), kPage, "1", "2", scratch.path().string() + "/"});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, "信息：不能打开该URL!\n汇总：下载 1，失败 1（1P），已完整 0\n");
  EXPECT_FALSE(fs::exists(scratch.path() / "第1集 教程.mp4"));
  EXPECT_EQ(fs::file_size(scratch.path() / "第2集 教程.mp4"), kMediaSize);
}

TEST(CommandLine, AFileThatFailsToCloseFailsItsPart) {
  ParseService service;
  TempDir scratch;
  // The sanitizers' runtimes want to come first; the preloaded close() is ours.
  const std::string preload = "LD_PRELOAD=" + std::string(PINDLEWICK_CLOSE_FAILS) +
                              " ASAN_OPTIONS=verify_asan_link_order=0";
  const CliRun run = runCli(scratch, {"--service", service.base(), kPage, "1", "2",
                                      scratch.path().string() + "/"}, preload);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, "信息：写文件出错!\n信息：写文件出错!\n汇总：下载 0，失败 2（1P 2P），已完整 0\n");
  EXPECT_EQ(run.out.back(), "任务完成。");
}

TEST(CommandLine, ContinueFinishesWhatAnEarlierRunLeft) {
  TempDir scratch, media;
  testing::writeFile(media.path() / "part1.mp4", testing::patternBytes(kMediaSize));
  testing::NginxServer nginx(media.path());  // answers ranges with 206, or 416 past the end
  testing::PatternServer cutting;
  const fs::path file = scratch.path() / "第1集 教程.mp4";
  const auto runWithLink = [&](const std::string& link, bool continueParts) {
    ParseService service({"--link", "1", link});
    std::vector<std::string> arguments = {"--service", service.base(), kPage, "1", "1",
                                          scratch.path().string() + "/"};
    if (continueParts) arguments.insert(arguments.begin(), "--continue");
    return runCli(scratch, arguments);
  };

  // The first run breaks off after 20000 bytes.
  const CliRun cut = runWithLink(cutting.url("/bytes.mp4?size=50000&cut=20000"), false);
  EXPECT_EQ(cut.exitStatus, 1);
  EXPECT_EQ(cut.err, "信息：读文件出错!\n汇总：下载 0，失败 1（1P），已完整 0\n");
  EXPECT_EQ(fs::file_size(file), 20000u);

  // The next asks for the rest only, and the one after that finds it whole.
  const CliRun resumed = runWithLink(nginx.url("/part1.mp4"), true);
  EXPECT_EQ(resumed.exitStatus, 0);
  EXPECT_EQ(resumed.err, "汇总：下载 1，失败 0，已完整 0\n");
  EXPECT_EQ(testing::readFile(file), testing::patternBytes(kMediaSize));
  const CliRun whole = runWithLink(nginx.url("/part1.mp4"), true);
  EXPECT_EQ(whole.exitStatus, 0);
  EXPECT_EQ(whole.err, "汇总：下载 0，失败 0，已完整 1\n");
  EXPECT_EQ(testing::readFile(file), testing::patternBytes(kMediaSize));
}

TEST(CommandLine, RetriesRecoverFromAServerThatFailsTwice) {
  TempDir scratch;
  const std::string folder = scratch.path().string() + "/";
  {
    ParseService service({"--fail-times", "1", "2"});
    const CliRun run = runCli(scratch, {"--retries", "2", "--service", service.base(), kPage, "1", "1", folder});
    EXPECT_EQ(run.exitStatus, 0);
    const std::vector<std::string> expected = {
        "开始解析1P。", "1P解析失败。", "开始解析1P。", "1P解析失败。",
        "开始解析1P。", "解析1P完成，正在下载。", "任务完成。"};
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "汇总：下载 1，失败 0，已完整 0\n");
    EXPECT_EQ(fs::file_size(scratch.path() / "第1集 教程.mp4"), kMediaSize);
  }
  // One retry is not enough, and a missing page is not worth a retry at all.
  ParseService service({"--fail-times", "1", "2", "--no-markers", "2"});
  const CliRun run = runCli(scratch, {"--retries", "1", "--service", service.base(), kPage, "1", "2", folder});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), "开始解析1P。"), 2);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), "开始解析2P。"), 1);
  EXPECT_EQ(run.err, "汇总：下载 0，失败 2（1P 2P），已完整 0\n");
}

TEST(CommandLine, AnAnswerPastTheLimitFailsItsPartAndTheBatchGoesOn) {
  ParseService service({"--huge", "2"});
  TempDir scratch;
  const CliRun run = runCli(scratch, {"--service", service.base(), kPage, "1", "3", scratch.path().string() + "/"});
  EXPECT_EQ(run.exitStatus, 1);
  const std::vector<std::string> expected = {
      "开始解析1P。", "解析1P完成，正在下载。", "开始解析2P。", "2P解析失败。",
      "开始解析3P。", "解析3P完成，正在下载。", "任务完成。"};
  EXPECT_EQ(run.out, expected);
  EXPECT_FALSE(fs::exists(scratch.path() / "第2集 教程.mp4"));
  EXPECT_EQ(fs::file_size(scratch.path() / "第3集 教程.mp4"), kMediaSize);
}

TEST(CommandLine, AFileSizeLimitFailsEachPartWithAMessageAndTheBatchGoesOn) {
  ParseService service;
  TempDir scratch;
  constexpr std::size_t kLimit = 20000;
  // Without help the limit raises SIGXFSZ, which ends a program (exit 153).
  const CliRun run = runCli(scratch, {"--service", service.base(), kPage, "1", "2", scratch.path().string() + "/"},
                            "prlimit --fsize=" + std::to_string(kLimit));
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, "信息：写文件出错!\n信息：写文件出错!\n汇总：下载 0，失败 2（1P 2P），已完整 0\n");
  const std::vector<std::string> expected = {"开始解析1P。", "解析1P完成，正在下载。", "开始解析2P。",
                                             "解析2P完成，正在下载。", "任务完成。"};
  EXPECT_EQ(run.out, expected);
  for (const char* name : {"第1集 教程.mp4", "第2集 教程.mp4"}) {
    const std::string stored = testing::readFile(scratch.path() / name);
    EXPECT_EQ(stored.size(), kLimit) << name;
    EXPECT_TRUE(stored == testing::patternBytes(kLimit)) << name << ": the first bytes, whole";
  }
}

TEST(CommandLine, UsageAndEmptyRanges) {
  TempDir scratch;
  const CliRun usage = runCli(scratch, {"only", "three", "arguments"});
  EXPECT_EQ(usage.exitStatus, 2);
  EXPECT_NE(usage.err.find("usage: pindlewick-cli"), std::string::npos);
  EXPECT_EQ(runCli(scratch, {"--bogus", kPage, "1", "2", "/tmp/"}).exitStatus, 2);

  // First number above the last: nothing is asked, and the batch is done.
  const CliRun empty = runCli(scratch, {"--service", "http://127.0.0.1:9", kPage, "3", "2", "/tmp/"});
  EXPECT_EQ(empty.exitStatus, 0);
  EXPECT_EQ(empty.out, std::vector<std::string>{"任务完成。"});
}

// A window whose user changes the last-part box and the address once the
// first part has started.
class ChangingWindow : public WindowPort {
 public:
  ChangingWindow(std::string lastPart, std::string lastPartLater, std::string folder)
      : lastPart_(std::move(lastPart)), lastPartLater_(std::move(lastPartLater)),
        folder_(std::move(folder)) {}
  std::vector<std::string> statuses;

  std::string readEditBox(EditBox box) override {
    switch (box) {
      case EditBox::pageUrl: return pageUrl_;
      case EditBox::firstPart: return "1";
      case EditBox::lastPart: return lastPart_;
      case EditBox::folder: return folder_;
    }
    return {};
  }
  void setLabel(Label label, TextView caption) override {
    if (label != Label::status) return;
    statuses.push_back(gbkToUtf8(caption));
    if (statuses.size() == 1) {
      lastPart_ = lastPartLater_;
      pageUrl_ = "https://www.example.com/video/BVchanged";
    }
  }
  void setProgressBar(int) override {}
  void showMessage(TextView, TextView) override {}

 private:
  std::string pageUrl_ = kPage;
  std::string lastPart_;
  std::string lastPartLater_;
  std::string folder_;
};

TEST(RunBatch, ReadsTheLastPartAndAddressAnewForEachPart) {
  struct Case {
    std::string lastPart;
    std::string lastPartLater;
    int parts;
  };
  const Case cases[] = {{"9", "2", 2}, {"1", "3", 3}};  // lowered, raised
  for (const Case& c : cases) {
    ParseService service;
    TempDir scratch;
    ChangingWindow window(c.lastPart, c.lastPartLater, scratch.path().string() + "/");
    const BatchSummary summary = runBatch(window, service.source());
    EXPECT_EQ(summary.partsTried(), c.parts) << c.lastPart << " then " << c.lastPartLater;
    EXPECT_EQ(summary.failed.size(), 0);
    EXPECT_EQ(window.statuses.back(), "任务完成。");

    // The service saw the old address for part 1 and the new one after it,
    // percent-encoded from UTF-8 with only letters, digits, '-' and '.' kept.
    ChildProcess fetch({"/usr/bin/curl", "-s", service.base() + "/requests"});
    EXPECT_EQ(fetch.readLine(),
              "bilibiliurl=https%3A%2F%2Fwww.example.com%2Fvideo%2FBV1xx%3Fp%3D1&zengqiang=true");
    EXPECT_EQ(fetch.readLine(),
              "bilibiliurl=https%3A%2F%2Fwww.example.com%2Fvideo%2FBVchanged%3Fp%3D2&zengqiang=true");
  }
}

// Two batches on the same window, each with its own service: every part's
// title, extension and media size tell the batches apart, so a part stored
// under the other batch's name or with its bytes shows.
TEST(RunBatch, TwoBatchesSideBySideShareOnlyTheWindow) {
  testing::PatternServer media;
  struct Batch {
    std::string titlePrefix;
    std::string extension;
    std::size_t baseSize;
  };
  const Batch batches[] = {{"甲", "mp4", 30000}, {"乙", "flv", 40000}};
  auto sizeOf = [](const Batch& batch, int part) { return batch.baseSize + static_cast<std::size_t>(part); };
  std::vector<std::unique_ptr<ParseService>> services;
  for (const Batch& batch : batches) {
    std::vector<std::string> options;
    for (int part = 1; part <= 3; ++part) {
      options.insert(options.end(),
                     {"--title", std::to_string(part), batch.titlePrefix + std::to_string(part), "--link",
                      std::to_string(part),
                      media.url("/bytes." + batch.extension + "?size=" + std::to_string(sizeOf(batch, part)))});
    }
    services.push_back(std::make_unique<ParseService>(options));
  }
  TempDir scratch;
  auto window = std::make_shared<WindowState>(WindowState::Snapshot{
      {kPage, "1", "3", scratch.path().string() + "/"}, {}, 0, 0});
  BatchSummary first, second;
  std::thread one([&] { first = runBatch(*window, services[0]->source()); });
  std::thread two([&] { second = runBatch(*window, services[1]->source()); });
  one.join();
  two.join();
  EXPECT_EQ(first.partsTried(), 3);
  EXPECT_EQ(second.partsTried(), 3);
  EXPECT_EQ(first.failed.size() + second.failed.size(), 0);
  EXPECT_EQ(gbkToUtf8(window->snapshot().labels[static_cast<std::size_t>(Label::status)]),
            "任务完成。");
  for (const Batch& batch : batches) {
    for (int part = 1; part <= 3; ++part) {
      const fs::path file = scratch.path() / (batch.titlePrefix + std::to_string(part) + "." + batch.extension);
      const std::string stored = testing::readFile(file);
      EXPECT_EQ(stored.size(), sizeOf(batch, part)) << file;
      EXPECT_TRUE(stored == testing::patternBytes(sizeOf(batch, part))) << file;
    }
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), fs::directory_iterator()), 6);
}

// A window whose folder box cannot be read for the first part (as when
// memory runs out mid-part): the part fails with a message, the rest go on.
class ThrowingWindow : public testing::RecordingWindow {
 public:
  std::string readEditBox(EditBox box) override {
    if (box == EditBox::folder && !thrown_) {
      thrown_ = true;
      throw std::bad_alloc();
    }
    return RecordingWindow::readEditBox(box);
  }

 private:
  bool thrown_ = false;
};

TEST(RunBatch, APartWhoseWorkThrowsFailsAndTheBatchGoesOn) {
  ParseService service;
  TempDir scratch;
  ThrowingWindow window;
  window.editBoxes = {kPage, "1", "2", scratch.path().string() + "/"};
  const BatchSummary summary = runBatch(window, service.source());
  EXPECT_EQ(summary.partsTried(), 2);
  EXPECT_EQ(summary.failed.size(), 1);
  EXPECT_NE(std::find(window.events.begin(), window.events.end(), "信息： 内存不足!"),
            window.events.end());
  EXPECT_FALSE(fs::exists(scratch.path() / "第1集 教程.mp4"));
  EXPECT_EQ(fs::file_size(scratch.path() / "第2集 教程.mp4"), kMediaSize);
}

TEST(StartBatch, SaysSoWhenNoThreadCanStart) {
  // No new thread can reserve a stack this large.
  pthread_attr_t saved, huge;
  ASSERT_EQ(::pthread_getattr_default_np(&saved), 0);
  ASSERT_EQ(::pthread_attr_init(&huge), 0);
  ASSERT_EQ(::pthread_attr_setstacksize(&huge, std::size_t{1} << 46), 0);
  ASSERT_EQ(::pthread_setattr_default_np(&huge), 0);
  auto window = std::make_shared<testing::RecordingWindow>();
  const bool started = startBatch(window, PartSource{PartSource::Kind::parseService, "http://127.0.0.1:9"});
  ::pthread_setattr_default_np(&saved);
  ::pthread_attr_destroy(&huge);
  ::pthread_attr_destroy(&saved);
  EXPECT_FALSE(started);
  EXPECT_TRUE(window->events.empty());
}

}  // namespace
}  // namespace pindlewick
