// The command line in built-in mode, as it ships, against the fixture site:
// the files and names a user gets, and how a batch ends.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/site/fixture_site.h"
#include "tests/support/command_line.h"

namespace pindlewick {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::FixtureSite;
using testing::TempDir;

const std::string kTwelveParts = "https://www.bilibili.com/video/BV17x411w7KC/?p=5";
const std::string kProblems = "BV1y7411Q7Eq";

CliRun runCli(const FixtureSite& site, const TempDir& scratch, const std::string& address, int first,
              int last) {
  return testing::runProgram(PINDLEWICK_CLI, scratch,
                             {"--site", site.base(), address, std::to_string(first), std::to_string(last),
                              scratch.path().string() + "/"});
}

// What the fixture's CDN serves for a part: byte i is (cid + i) % 251.
std::string partBytes(int cid) {
  std::string bytes(static_cast<std::size_t>(20000 + cid % 1000), '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((cid + i) % 251);
  return bytes;
}

TEST(SiteCommandLine, DownloadsARangeUnderTheSiteNamesWithTheCdnHeaders) {
  const FixtureSite site;
  const TempDir scratch;
  const CliRun run = runCli(site, scratch, kTwelveParts, 1, 3);

  EXPECT_EQ(run.exitStatus, 0) << run.err;
  const std::vector<std::string> expected = {
      "开始解析1P。", "解析1P完成，正在下载。", "开始解析2P。", "解析2P完成，正在下载。",
      "开始解析3P。", "解析3P完成，正在下载。", "任务完成。"};
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.err, "汇总：下载 3，失败 0，已完整 0\n");
  EXPECT_EQ(testing::readFile(scratch.path() / "P01 开始.mp4"), partBytes(5000));
  EXPECT_EQ(testing::readFile(scratch.path() / "P02 第二集： 安装／配置？.mp4"), partBytes(5001));
  EXPECT_EQ(testing::readFile(scratch.path() / "P03 第三集 安装.mp4"), partBytes(5002));
  // The CDN refuses a download without the site's Referer: it never had to.
  const std::vector<nlohmann::json> media = site.requestsFor("/cdn/5000.mp4");
  ASSERT_EQ(media.size(), 1u);
  EXPECT_EQ(media[0]["headers"]["referer"], "https://www.bilibili.com/");
}

TEST(SiteCommandLine, StopsAfterTheLastPartOrSaysHowManyThereAre) {
  const FixtureSite site;
  const TempDir scratch;
  const CliRun tail = runCli(site, scratch, kTwelveParts, 11, 116);
  EXPECT_EQ(tail.exitStatus, 0) << tail.err;
  EXPECT_EQ(tail.out.back(), "任务完成。");
  EXPECT_EQ(tail.err, "汇总：下载 2，失败 0，已完整 0\n");
  EXPECT_TRUE(fs::exists(scratch.path() / "P12 结尾.mp4"));
  EXPECT_EQ(site.requestsFor("/x/player/wbi/playurl").size(), 2u);

  const CliRun past = runCli(site, scratch, kTwelveParts, 20, 30);
  EXPECT_EQ(past.exitStatus, 1);
  EXPECT_EQ(past.out, (std::vector<std::string>{"开始解析20P。", "视频只有12个分P。", "任务完成。"}));
}

TEST(SiteCommandLine, ABackupLinkServesWhenTheFirstIsDeadWithoutAMessage) {
  const FixtureSite site;
  const TempDir scratch;
  const CliRun run = runCli(site, scratch, kProblems, 10, 10);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.err, "汇总：下载 1，失败 0，已完整 0\n");
  EXPECT_EQ(testing::readFile(scratch.path() / "P10 主链接失效.mp4"), partBytes(7009));
}

TEST(SiteCommandLine, EachRefusalSaysWhyAndRiskControlEndsTheBatch) {
  const FixtureSite site;
  const TempDir scratch;
  const CliRun run = runCli(site, scratch, kProblems, 2, 9);
  EXPECT_EQ(run.exitStatus, 1);
  const std::vector<std::string> expected = {
      "开始解析2P。", "2P解析失败：只有音视频分离的流，没有MP4。",
      "开始解析3P。", "3P解析失败：视频被分成了3段。",
      "开始解析4P。", "4P解析失败：站点答复HTTP状态503。",
      "开始解析5P。", "5P解析失败：站点的答复无法读取。",
      "开始解析6P。", "6P解析失败：视频不存在。",
      "开始解析7P。", "站点拒绝了请求（风控），请稍后再试。",
      "任务完成。"};
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.err, "汇总：下载 0，失败 6（2P 3P 4P 5P 6P 7P），已完整 0\n");

  const CliRun nothing = runCli(site, scratch, "no video here", 1, 3);
  EXPECT_EQ(nothing.exitStatus, 1);
  EXPECT_EQ(nothing.out, (std::vector<std::string>{"开始解析1P。", "地址没有指向视频。", "任务完成。"}));
}

}  // namespace
}  // namespace pindlewick
