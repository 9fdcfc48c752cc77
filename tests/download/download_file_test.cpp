#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "download/download.h"
#include "download/transfer_counts.h"
#include "http/trusted_authorities.h"
#include "tests/download/download_test_fixture.h"
#include "text/codepage.h"

namespace pindlewick {
namespace {

namespace fs = std::filesystem;
using testing::DownloadTest;
using testing::NginxServer;
using testing::Outcome;
using testing::PatternServer;
using testing::patternBytes;
using testing::readFile;
using testing::writeFile;

using Report = ProgressReport;

// The blocks as the reports show them, checking that every report adds one.
std::vector<std::int64_t> blockSizes(const Outcome& outcome, std::int64_t startTotal) {
  std::vector<std::int64_t> sizes;
  std::int64_t previous = startTotal;
  for (const Report& report : outcome.reports) {
    sizes.push_back(report.totalBytes - previous);
    previous = report.totalBytes;
  }
  return sizes;
}

void expectBlocksCover(const Outcome& outcome, std::int64_t startTotal, std::int64_t bodySize) {
  std::int64_t sum = 0;
  for (std::int64_t size : blockSizes(outcome, startTotal)) {
    EXPECT_GT(size, 0);
    EXPECT_LE(size, 10240);
    sum += size;
  }
  EXPECT_EQ(sum, bodySize);
  for (const Report& report : outcome.reports) {
    EXPECT_EQ(report.totalBytes - startTotal, report.receivedBytes);
    EXPECT_GT(report.elapsedMs, 0);
  }
}

TEST(TransferCountsTest, ElapsedWrapsAndNeverReadsZero) {
  struct Case {
    int start, now, elapsed;
  };
  const Case cases[] = {
      {1000, 1250, 250}, {5, 5, 10}, {2147483647, -2147483648, 1}, {-1, 4, 5}, {-20, -5, 15}};
  for (const Case& c : cases) EXPECT_EQ(elapsedSince(c.start, c.now), c.elapsed) << c.start;
}

TEST_F(DownloadTest, StoresAStaticFileBlockByBlockWithItsLength) {
  testing::TempDir root;
  writeFile(root.path() / "video.mp4", patternBytes(100000));
  NginxServer nginx(root.path());

  const Outcome outcome = download(nginx.url("/video.mp4"));

  EXPECT_EQ(outcome.result, 0);
  EXPECT_TRUE(outcome.window.empty());
  EXPECT_EQ(readFile(file), patternBytes(100000));
  expectBlocksCover(outcome, 0, 100000);
  for (const Report& report : outcome.reports) EXPECT_EQ(report.contentLength, 100000);
}

TEST_F(DownloadTest, ResumesByWhatTheServerAnswersToTheRange) {
  struct Case {
    const char* name;
    const char* path;  // on nginx (206 to a range) or the pattern server (200, 416)
    std::optional<std::string> existing;
    std::optional<std::int64_t> offset;
    std::string expectedFile;
    std::int64_t firstTotal;      // where the reports start counting
    std::int64_t expectedLength;  // what the server reports for the answer
  };
  const std::string full = patternBytes(100000);
  const Case cases[] = {
      {"206 appends the rest", "/video.mp4", full.substr(0, 1000), 1000, full, 1000, 99000},
      {"206 creates a missing file", "/video.mp4", std::nullopt, 1000, full.substr(1000), 1000, 99000},
      {"206 from 0 keeps the file", "/video.mp4", "older", 0, "older" + full, 0, 100000},
      {"no offset empties the file", "/video.mp4", std::string(150000, 'x'), std::nullopt, full, 0,
       100000},
      // The server ignored the range: its whole body replaces the file.
      {"200 rewrites from the start", "/bytes?size=100000", std::string(150000, 'x'), 1000, full, 0,
       100000},
      // Nothing left to send: the file is already whole.
      {"416 keeps the file", "/status?code=416", full, 100000, full, 0, 0},
  };
  testing::TempDir root;
  writeFile(root.path() / "video.mp4", full);
  NginxServer nginx(root.path());
  PatternServer server;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(file);
    if (c.existing) writeFile(file, *c.existing);
    const std::string path = c.path;
    const std::string url = path.starts_with("/video") ? nginx.url(path) : server.url(path);

    const Outcome outcome = download(url, c.offset);

    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(outcome.window.empty());
    EXPECT_EQ(readFile(file), c.expectedFile);
    if (c.expectedLength == 0) {
      EXPECT_TRUE(outcome.reports.empty());
      continue;
    }
    expectBlocksCover(outcome, c.firstTotal, c.expectedLength);
    ASSERT_FALSE(outcome.reports.empty());
    EXPECT_EQ(outcome.reports.front().contentLength, c.expectedLength);
  }
}

TEST_F(DownloadTest, SendsTheFixedHeadBlockAndTheRangeLine) {
  struct Case {
    std::optional<std::int64_t> offset;
    std::optional<std::string> rangeLine;
  };
  const Case cases[] = {{std::nullopt, std::nullopt},
                        {1000, "Range:bytes=1000-"},
                        {0, "Range:bytes=0-"},
                        {-5, "Range:bytes=-5-"}};
  const std::vector<std::string> fixedLines = {
      "Accept: */*",
      "Accept-Language: zh-cn",
      "Accept-Encoding: gzip, deflate",
      "User-Agent: Mozilla/4.0(compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)",
      "Pragma: no-cache"};
  PatternServer server;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset.value_or(-1));
    fs::remove(file);
    ASSERT_EQ(download(server.url("/echo"), c.offset).result, 0);

    const std::string request = readFile(file);
    EXPECT_EQ(request.rfind("GET /echo HTTP/1.1\r\n", 0), 0u) << request;
    for (const std::string& line : fixedLines) {
      const auto at = request.find("\r\n" + line + "\r\n");
      EXPECT_NE(at, std::string::npos) << line;
      const auto name = line.substr(0, line.find(':') + 1);
      EXPECT_EQ(request.find("\r\n" + name, at + 2), std::string::npos) << "twice: " << name;
    }
    EXPECT_EQ(request.find("\r\nRange") != std::string::npos, c.rangeLine.has_value());
    if (c.rangeLine) {
      EXPECT_NE(request.find("\r\n" + *c.rangeLine + "\r\n"), std::string::npos);
    }
  }
}

TEST_F(DownloadTest, StoresEveryBodyAsItArrives) {
  struct Case {
    const char* path;
    std::string body;
    int contentLength;
  };
  const Case cases[] = {
      {"/bytes?size=50000&mode=close", patternBytes(50000), 0},
      {"/bytes?size=50000&mode=chunked", patternBytes(50000), 0},
      // Labelled as compressed, but stored untouched: a decoder would fail on it.
      {"/bytes?size=30000&encoding=gzip", patternBytes(30000), 30000},
      {"/redirect?to=/bytes%3Fsize%3D20000", patternBytes(20000), 20000},
  };
  PatternServer server;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const Outcome outcome = download(server.url(c.path));

    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(outcome.window.empty());
    EXPECT_EQ(readFile(file), c.body);
    expectBlocksCover(outcome, 0, static_cast<std::int64_t>(c.body.size()));
    for (const Report& report : outcome.reports) EXPECT_EQ(report.contentLength, c.contentLength);
  }
}

TEST_F(DownloadTest, ASmallBodyGivesOneReportAndAnEmptyOneNone) {
  PatternServer server;
  const Outcome small = download(server.url("/bytes?size=3000"));
  ASSERT_EQ(small.reports.size(), 1u);
  EXPECT_EQ(small.reports[0].totalBytes, 3000);
  EXPECT_EQ(small.reports[0].receivedBytes, 3000);

  writeFile(file, "an older part");
  const Outcome empty = download(server.url("/bytes?size=0"));
  EXPECT_EQ(empty.result, 0);
  EXPECT_TRUE(empty.reports.empty());
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(fs::file_size(file), 0u);
}

TEST_F(DownloadTest, CountsPastTwoGibibytesInSixtyFourBits) {
  testing::TempDir root;
  // A sparse file of 2 GiB + 30000 bytes whose last 30000 bytes are the pattern.
  const std::int64_t offset = (std::int64_t{1} << 31) - 5000;
  const std::string tail = patternBytes(35000);
  {
    std::ofstream video(root.path() / "video.mp4", std::ios::binary);
    video.seekp(offset);
    video.write(tail.data(), static_cast<std::streamsize>(tail.size()));
  }
  NginxServer nginx(root.path());
  writeFile(file, "");
  const Outcome outcome = download(nginx.url("/video.mp4"), offset);

  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(readFile(file), tail);
  expectBlocksCover(outcome, offset, 35000);
  ASSERT_FALSE(outcome.reports.empty());
  EXPECT_EQ(outcome.reports.back().totalBytes, offset + 35000);
  EXPECT_EQ(outcome.reports.back().contentLength, 35000);
}

TEST_F(DownloadTest, UsesThePathAsTheFileSystemSpellsIt) {
  PatternServer server;
  const fs::path path = folder.path() / u8"søren 동영상 🎬.mp4";
  EXPECT_EQ(download(server.url("/bytes?size=100"), path).result, 0);
  EXPECT_EQ(readFile(path), patternBytes(100));
}

TEST_F(DownloadTest, EveryFailureIsShownOnceAndLeavesTheFileAsTheStepsSay) {
  struct Case {
    const char* name;
    std::string url;
    std::optional<fs::path> path;  // the default file when not given
    const char* message;
    std::string fileAfter;
    std::optional<std::int64_t> offset = {};
  };
  PatternServer server;
  const testing::ReservedPort nothingListens;
  const std::string older = "an older part";
  const Case cases[] = {
      {"refused", "http://127.0.0.1:" + std::to_string(nothingListens.number()) + "/x", {},
       "不能打开该URL!", older},
      {"malformed", "http://127.0.0.1:99999/x", {}, "不能打开该URL!", older},
      {"not HTTP", "ftp://127.0.0.1:" + std::to_string(server.port()) + "/x", {},
       "不能打开该URL!", older},
      // Only a 2xx answer is the file; an error page never becomes the video.
      {"404 page", server.url("/missing"), {}, "不能打开该URL!", older},
      {"403", server.url("/status?code=403"), {}, "不能打开该URL!", older},
      {"500", server.url("/status?code=500"), {}, "不能打开该URL!", older},
      {"416 without a range", server.url("/status?code=416"), {}, "不能打开该URL!", older},
      // A 206 must continue the file where it ends, or the file is corrupt.
      {"206 to another range", server.url("/status?code=206&range=bytes%200-36/37"), {},
       "不能打开该URL!", older, older.size()},
      {"206 without its range", server.url("/status?code=206"), {}, "不能打开该URL!", older,
       older.size()},
      // libcurl follows no Location it cannot use: the answer is a 3xx.
      {"redirect without Location", server.url("/status?code=302"), {}, "不能打开该URL!", older},
      {"redirect to a blank Location", server.url("/status?code=301&location="), {},
       "不能打开该URL!", older},
      {"redirect to nowhere", server.url("/redirect?to=http%3A%2F%2F%5Bbad"), {}, "不能打开该URL!",
       older},
      {"redirect loop", server.url("/redirect?to=/redirect%3Fto%3D%2Fx"), {}, "不能打开该URL!", older},
      {"no answer", server.url("/silent"), {}, "不能打开该URL!", older},
      {"cut short", server.url("/bytes?size=50000&cut=20000"), {}, "读文件出错!",
       patternBytes(20000)},
      {"chunks cut short", server.url("/bytes?size=50000&mode=chunked&cut=20000"), {},
       "读文件出错!", patternBytes(20000)},
      {"stalled body", server.url("/bytes?size=50000&cut=20000&stall=1"), {}, "读文件出错!",
       patternBytes(20000)},
      {"empty path", server.url("/bytes?size=10"), "", "不能打开本地的文件!", older},
      {"missing folder", server.url("/bytes?size=10"), folder.path() / "no/part.mp4",
       "不能打开本地的文件!", older},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(file, older);

    const Outcome outcome = download(c.url, c.path.value_or(file), c.offset);

    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.window, std::vector<std::string>{std::string("信息： ") + c.message});
    EXPECT_EQ(readFile(file), c.fileAfter);
  }
}

TEST_F(DownloadTest, TheSystemsAuthoritiesRefuseTheTestOne) {
  if (!testing::systemAuthoritiesChecked()) {
    GTEST_SKIP() << "under Wine, HTTPS checks no certificate without a PEM file";
  }
  const testing::TestAuthority authority;
  PatternServer secure(authority.certificate(), authority.key());
  writeFile(file, "an older part");
  EXPECT_EQ(download(secure.url("/bytes?size=100")).window,
            std::vector<std::string>{"信息： 不能打开该URL!"});
  EXPECT_EQ(readFile(file), "an older part");
}

TEST_F(DownloadTest, HttpsIsVerifiedAndNeverRedirectsDownToHttp) {
  const testing::TestAuthority authority;
  PatternServer secure(authority.certificate(), authority.key());
  PatternServer plain;

  writeFile(file, "an older part");
  {
    const testing::TestAuthority stranger;
    const ScopedTrustedAuthorities trustStranger(stranger.authority().string());
    EXPECT_EQ(download(secure.url("/bytes?size=100")).window,
              std::vector<std::string>{"信息： 不能打开该URL!"});
  }
  EXPECT_EQ(readFile(file), "an older part");

  const ScopedTrustedAuthorities trust(authority.authority().string());
  const Outcome direct = download(secure.url("/bytes?size=100"));
  EXPECT_EQ(direct.result, 0);
  EXPECT_EQ(readFile(file), patternBytes(100));

  const Outcome up = download(plain.url("/redirect?to=" + secure.url("/bytes%3Fsize%3D200")));
  EXPECT_EQ(up.result, 0);
  EXPECT_EQ(readFile(file), patternBytes(200));

  const Outcome down = download(secure.url("/redirect?to=" + plain.url("/bytes%3Fsize%3D300")));
  EXPECT_EQ(down.result, -1);
  EXPECT_EQ(down.window, std::vector<std::string>{"信息： 不能打开该URL!"});
  EXPECT_EQ(readFile(file), patternBytes(200));
}

TEST_F(DownloadTest, GoesThroughTheProxyOfTheEnvironment) {
  PatternServer proxy;
  testing::setEnvironmentVariable("http_proxy", proxy.url("").c_str());
  const Outcome outcome = download("http://media.invalid/echo");
  testing::setEnvironmentVariable("http_proxy", nullptr);

  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(readFile(file).rfind("GET http://media.invalid/echo HTTP/1.1\r\n", 0), 0u);
}

}  // namespace
}  // namespace pindlewick
