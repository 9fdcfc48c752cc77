// The whole job, from the page address to the files, through the command line
// as it ships (its output contract), against a stand-in parse service on
// 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/parse_service.h"
#include "tests/support/command_line.h"
#include "tests/support/test_servers.h"

namespace pindlewick {
namespace {

namespace fs = std::filesystem;
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

}  // namespace
}  // namespace pindlewick
