// The fault matrix: what each fault of a server on 127.0.0.1, or of the disk,
// does to the result. Every case shows that what arrived is kept and that the
// user is told clearly. Faults an adapter test already shows exactly are not
// repeated here; they live in
//   tests/http/http_request_test.cpp         a body cut short, a body that
//                                            stalls (WhatIsReadBack)
//   tests/http/redirect_proxy_tls_test.cpp   eleven redirects, HTTPS down to
//                                            HTTP refused by the request
//   tests/download/download_file_test.cpp    a body cut short or stalled, a
//                                            file-size limit, HTTPS down to
//                                            HTTP refused by the download
//   tests/app/pipeline_test.cpp              titles "../escaped" and "..", the
//                                            command line under a file-size
//                                            limit
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/pipeline.h"
#include "download/download.h"
#include "http/http_request.h"
#include "http/trusted_authorities.h"
#include "tests/app/parse_service.h"
#include "tests/http/http_test_support.h"
#include "tests/support/recording_listener.h"
#include "tests/support/recording_window.h"
#include "tests/support/test_servers.h"
#include "text/codepage.h"

namespace pindlewick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::kNoResponse;
using testing::kSendFailed;
using testing::ParseService;
using testing::PatternServer;
using testing::patternBytes;
using testing::readFile;
using testing::response;
using testing::ScriptedServer;
using testing::TempDir;
using testing::TestAuthority;

std::string redirectTo(const std::string& location) {
  return response("302 Found", "Location: " + location + "\r\n", "moved");
}

// The faulty answers a scripted server gives, by path. The paths end in .mp4
// so that the pipeline takes them for media links.
void scriptFaults(const ScriptedServer& server) {
  server.script("/head-stall.mp4", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", true);
  server.script("/garbled.mp4", "HTTP/1.1 OK\r\nContent-Length: 2\r\n\r\nhi");
  server.script("/not-http.mp4", "hello there\r\n\r\n");
  server.script("/long-header.mp4", "HTTP/1.1 200 OK\r\nX-Long: " + std::string(110 * 1024, 'a') +
                                        "\r\nContent-Length: 2\r\n\r\nhi");
  server.script("/loop.mp4", redirectTo("/loop.mp4"));
  server.script("/cut.mp4", "HTTP/1.1 200 OK\r\nContent-Length: 50000\r\n\r\n" + patternBytes(20000));
  server.script("/cut-big", "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n" + std::string(300000, 'x'));
  server.script("/cut-chunked",
                "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n10\r\nonly");
}

// An https address on a server that speaks plain HTTP: it waits for a request
// head that never comes, so the TLS handshake stalls.
std::string stalledHandshakeUrl(const ScriptedServer& server) {
  return "https://127.0.0.1:" + std::to_string(server.port()) + "/head-stall.mp4";
}

// Every file under root, by its path relative to root, with its size. Every
// body served here is test-pattern bytes, so each file must hold the first of
// them: what arrived, whole.
std::map<std::string, std::uintmax_t> filesUnder(const fs::path& root) {
  std::map<std::string, std::uintmax_t> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    EXPECT_EQ(readFile(entry.path()), patternBytes(entry.file_size())) << entry.path();
    files[fs::relative(entry.path(), root).string()] = entry.file_size();
  }
  return files;
}

// --- the request ---------------------------------------------------------------

struct RequestCase {
  const char* name;
  std::string url;
  Text status;
  std::optional<std::string> body;  // none: a failure, the out-arguments untouched
  std::size_t requestsSeen;
};

TEST(RequestFaults, PartialBodiesComeBackAndFailuresAreNumbered) {
  ScriptedServer server;
  scriptFaults(server);
  const RequestCase cases[] = {
      {"closes mid-body after 300 KB", server.url("/cut-big"), "200 OK", std::string(300000, 'x'), 1},
      {"closes inside a chunk", server.url("/cut-chunked"), "200 OK", "helloonly", 1},
      {"stalls inside the head", server.url("/head-stall.mp4"), kNoResponse, {}, 1},
      {"stalls in the TLS handshake", stalledHandshakeUrl(server), kSendFailed, {}, 0},
      {"malformed status line", server.url("/garbled.mp4"), kNoResponse, {}, 1},
      {"not HTTP at all", server.url("/not-http.mp4"), kNoResponse, {}, 1},
      {"header line over 100 KB", server.url("/long-header.mp4"), kNoResponse, {}, 1},
      {"redirect loop: ten hops, then no more", server.url("/loop.mp4"), kNoResponse, {}, 11},
  };
  for (const RequestCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t before = server.requests().size();
    HttpRequestArgs args;
    args.url = Text(c.url);
    args.timeoutSeconds = 1;
    args.returnedHeaders = "h";
    args.responseBytes = {1};

    const Text result = httpRequest(args);

    EXPECT_EQ(args.statusText, c.status);
    EXPECT_EQ(result.bytes(), c.body.value_or(""));
    const std::string bytes = c.body.value_or("\x01");
    EXPECT_EQ(args.responseBytes, Bytes(bytes.begin(), bytes.end()));
    if (!c.body) {
      EXPECT_EQ(args.returnedHeaders, "h");
    }
    EXPECT_EQ(server.requests().size() - before, c.requestsSeen);
  }
}

struct PageCase {
  const char* name;
  std::string body;
  Text expected;
};

TEST(RequestFaults, InvalidSequencesInADeclaredCharsetAreReplaced) {
  const Text gbkChinese = "\xD6\xD0";  // 中
  const PageCase cases[] = {
      {"utf-8: stray, overlong '/', unused byte, cut at the end",
       "<meta charset=utf-8>a\x80" "b\xC0\xAF" "c\xFF" "d\xE4\xB8", "<meta charset=utf-8>a?b??c?d?"},
      {"utf-8: invalid bytes around a marker",
       "<meta charset=utf-8>\xFF<label>\xE6\xA0\x87\xE9\xA2\x98</label>\xFF",
       "<meta charset=utf-8>?<label>\xB1\xEA\xCC\xE2</label>?"},
      {"big5: a lead byte at the end", "<meta charset=big5>\xA4\xA4\xA4", "<meta charset=big5>" + gbkChinese + "?"},
      {"shift_jis: a byte it never uses", "<meta charset=shift_jis>\x92\x86\xFF",
       "<meta charset=shift_jis>" + gbkChinese + "?"},
  };
  ScriptedServer server;
  int index = 0;
  for (const PageCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = "/page" + std::to_string(index++);
    server.script(path, response("200 OK", "Content-Type: text/html\r\n", c.body));
    HttpRequestArgs args;
    args.url = Text(server.url(path));
    EXPECT_EQ(httpRequest(args), c.expected);
    EXPECT_EQ(args.responseBytes, Bytes(c.body.begin(), c.body.end()));
  }
}

// --- the download ---------------------------------------------------------------

struct Download {
  int result;
  std::vector<std::string> window;
  int reports = 0;
  std::int64_t lastTotal = 0;
};

Download download(const std::string& url, const fs::path& file) {
  testing::RecordingListener listener;
  const DownloadSettings shortLimits{.connectLimit = 5s, .stallLimit = 1s, .headers = {}};
  const DownloadResult result = downloadFile(Text(url), file, listener, std::nullopt, shortLimits);
  return {result.succeeded() ? 0 : -1, listener.messages, static_cast<int>(listener.reports.size()),
          listener.reports.empty() ? 0 : listener.reports.back().totalBytes};
}

struct DownloadCase {
  const char* name;
  std::string url;
};

TEST(DownloadFaults, AnAnswerThatNeverBecomesAResponseCreatesNoFile) {
  ScriptedServer server;
  scriptFaults(server);
  const DownloadCase cases[] = {
      {"stalls inside the head", server.url("/head-stall.mp4")},
      {"stalls in the TLS handshake", stalledHandshakeUrl(server)},
      {"malformed status line", server.url("/garbled.mp4")},
      {"not HTTP at all", server.url("/not-http.mp4")},
      {"header line over 100 KB", server.url("/long-header.mp4")},
      {"redirect loop", server.url("/loop.mp4")},
  };
  const TempDir folder;
  const fs::path file = folder.path() / "part.mp4";
  for (const DownloadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Download outcome = download(c.url, file);
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.window, std::vector<std::string>{"信息： 不能打开该URL!"});
    EXPECT_FALSE(fs::exists(file));
  }
}

constexpr rlim_t kSmallDiskSize = 64 * 1024;

// A disk that is full after 64 KiB, with no mount permission needed: work runs
// in a forked child whose files cannot grow past that size. SIGXFSZ is ignored
// there, as both programs ignore it, so a write past the limit fails with EFBIG
// as one on a full disk fails with ENOSPC. Returns the lines work returned.
std::vector<std::string> onASmallDisk(const std::function<std::vector<std::string>()>& work) {
  int ends[2];
  if (::pipe(ends) != 0) throw std::runtime_error("pipe failed");
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ends[0]);
    int status = 1;
    try {
      const rlimit limit{kSmallDiskSize, kSmallDiskSize};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      ::signal(SIGXFSZ, SIG_IGN);
      std::string lines;
      for (const std::string& line : work()) lines += line + "\n";
      status = ::write(ends[1], lines.data(), lines.size()) == static_cast<ssize_t>(lines.size()) ? 0 : 1;
    } catch (...) {
    }
    ::_exit(status);  // never back into the test runner
  }
  ::close(ends[1]);
  std::string lines;
  char buffer[4096];
  for (ssize_t got; (got = ::read(ends[0], buffer, sizeof buffer)) > 0;) {
    lines.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(ends[0]);
  int status = -1;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's wait status: " << status;
  std::vector<std::string> split;
  std::istringstream stream(lines);
  for (std::string line; std::getline(stream, line);) split.push_back(line);
  return split;
}

// The one file a full small disk holds: everything that fit, whole (see
// filesUnder); returns its size.
std::uintmax_t sizeOfTheOnlyFile(const fs::path& disk, const std::string& name) {
  const auto files = filesUnder(disk);
  EXPECT_EQ(files.size(), 1u);
  const std::uintmax_t size = files.contains(name) ? files.at(name) : 0;
  EXPECT_EQ(size, kSmallDiskSize);
  return size;
}

TEST(DownloadFaults, AnEndlessBodyStopsAtAFullDisk) {
  PatternServer server;
  const Download full = download(server.url("/endless"), "/dev/full");
  EXPECT_EQ(full.result, -1);
  EXPECT_EQ(full.window, std::vector<std::string>{"信息： 写文件出错!"});
  EXPECT_EQ(full.reports, 0) << "no block was stored";

  const TempDir disk;
  const std::vector<std::string> small = onASmallDisk([&] {
    const Download outcome = download(server.url("/endless"), disk.path() / "part.mp4");
    std::vector<std::string> lines = {std::to_string(outcome.result), std::to_string(outcome.lastTotal)};
    lines.insert(lines.end(), outcome.window.begin(), outcome.window.end());
    return lines;
  });
  ASSERT_EQ(small.size(), 3u);
  EXPECT_EQ(small[0], "-1");
  EXPECT_EQ(small[2], "信息： 写文件出错!");
  const std::uintmax_t stored = sizeOfTheOnlyFile(disk.path(), "part.mp4");
  EXPECT_LE(std::stoull(small[1]), stored) << "only stored blocks are reported";
}

// --- the whole pipeline -----------------------------------------------------------

std::string asked(int part) { return "开始解析" + std::to_string(part) + "P。"; }
std::string answered(int part) { return "解析" + std::to_string(part) + "P完成，正在下载。"; }
std::string unanswered(int part) { return std::to_string(part) + "P解析失败。"; }
std::string told(const std::string& message) { return "信息： " + message; }
const std::string kDone = "任务完成。";
const std::string kCannotOpenFile = told("不能打开本地的文件!");
const std::string kCannotOpenUrl = told("不能打开该URL!");

// The status texts and messages, in order: what the user reads.
std::vector<std::string> whatTheUserReads(const testing::RecordingWindow& window) {
  const std::string status = std::string(controlName(Label::status)) + " ";
  std::vector<std::string> read;
  for (const std::string& event : window.events) {
    if (event.starts_with(status)) read.push_back(event.substr(status.size()));
    if (event.starts_with("信息： ")) read.push_back(event);
  }
  return read;
}

// Runs parts 1 to lastPart of the batch into folder; returns what the user read.
std::vector<std::string> runParts(const std::string& serviceBase, int lastPart, const fs::path& folder) {
  testing::RecordingWindow window;
  window.editBoxes = {"https://www.example.com/video/BV1xx", "1", std::to_string(lastPart),
                      folder.string() + "/"};
  runBatch(window, PartSource{PartSource::Kind::parseService, serviceBase});
  return whatTheUserReads(window);
}

struct PipelineCase {
  const char* name;
  std::vector<std::string> serviceOptions;  // see parse_service.py
  int lastPart;
  std::vector<std::string> read;
  std::map<std::string, std::uintmax_t> files;  // under the scratch folder
};

constexpr std::uintmax_t kMedia = testing::kParseServiceMediaSize;

TEST(PipelineFaults, EachPartFailsClearlyAndTheBatchGoesOn) {
  ScriptedServer media;
  scriptFaults(media);
  const std::string part2 = "保存/第2集 教程.mp4";
  const PipelineCase cases[] = {
      {"media host closes mid-body",
       {"--link", "1", media.url("/cut.mp4")},
       2,
       {asked(1), answered(1), told("读文件出错!"), asked(2), answered(2), kDone},
       {{"保存/第1集 教程.mp4", 20000}, {part2, kMedia}}},
      {"service closes mid-page",
       {"--cut", "1"},
       2,
       {asked(1), unanswered(1), asked(2), answered(2), kDone},
       {{part2, kMedia}}},
      {"service answers 500 with an empty body",
       {"--fail", "1"},
       2,
       {asked(1), unanswered(1), asked(2), answered(2), kDone},
       {{part2, kMedia}}},
      {"page with invalid UTF-8, markers intact",
       {"--invalid", "1"},
       1,
       {asked(1), answered(1), kDone},
       {{"保存/第1集 教程?????.mp4", kMedia}}},
      {"media in a redirect loop", {"--link", "1", media.url("/loop.mp4")}, 1,
       {asked(1), answered(1), kCannotOpenUrl, kDone}, {}},
      {"media with a malformed status line", {"--link", "1", media.url("/garbled.mp4")}, 1,
       {asked(1), answered(1), kCannotOpenUrl, kDone}, {}},
  };
  for (const PipelineCase& c : cases) {
    SCOPED_TRACE(c.name);
    ParseService service(c.serviceOptions);
    const TempDir scratch;
    fs::create_directory(scratch.path() / "保存");
    EXPECT_EQ(runParts(service.base(), c.lastPart, scratch.path() / "保存"), c.read);
    EXPECT_EQ(filesUnder(scratch.path()), c.files);
  }
}

// Titles and an extension that would put the file somewhere other than
// directly in the folder: the part fails before the media host is asked.
TEST(PipelineFaults, ANameThatLeavesTheFolderIsRefusedBeforeAnythingIsFetched) {
  ScriptedServer media;
  media.script("/part.mp4", response("200 OK", "", patternBytes(10)));
  const std::vector<std::string> titles = {
      "sub/../../x", ".", "a\\b", "tab\there",
      "\x80/x",  // the euro sign, one byte, then a slash
      "\x81/x",  // a lead byte without its second byte, then a slash
  };
  std::vector<std::string> options = {"--link", std::to_string(titles.size() + 1),
                                      media.url("/part.mp4/x")};
  std::vector<std::string> read;
  for (std::size_t index = 0; index < titles.size(); ++index) {
    const std::string part = std::to_string(index + 1);
    options.insert(options.end(), {"--title", part, titles[index], "--link", part, media.url("/part.mp4")});
  }
  for (int part = 1; part <= static_cast<int>(titles.size()) + 1; ++part) {
    read.insert(read.end(), {asked(part), answered(part), kCannotOpenFile});
  }
  read.push_back(kDone);
  ParseService service(options);
  const TempDir scratch;
  fs::create_directory(scratch.path() / "保存");

  EXPECT_EQ(runParts(service.base(), static_cast<int>(titles.size()) + 1, scratch.path() / "保存"), read);
  EXPECT_TRUE(filesUnder(scratch.path()).empty());
  EXPECT_TRUE(media.requests().empty());
}

TEST(PipelineFaults, HttpsIsTrustedThroughOneSeamAndNeverFallsBackToHttp) {
  const TestAuthority authority;
  const ScopedTrustedAuthorities trust(authority.authority().string());
  const ScriptedServer plain;
  const ScriptedServer secure(authority.certificate(), authority.key());
  secure.script("/down.mp4", redirectTo(plain.url("/media.mp4")));
  secure.script("/api/bilibili/", redirectTo(plain.url("/api/bilibili/")));
  const TempDir scratch;

  // The first part is asked for and downloaded over HTTPS; the second one's
  // media link redirects down to HTTP.
  ParseService service({"--link", "2", secure.url("/down.mp4")}, authority.certificate(), authority.key());
  EXPECT_EQ(runParts(service.base(), 2, scratch.path()),
            (std::vector<std::string>{asked(1), answered(1), asked(2), answered(2), kCannotOpenUrl, kDone}));
  EXPECT_EQ(filesUnder(scratch.path()), (std::map<std::string, std::uintmax_t>{{"第1集 教程.mp4", kMedia}}));

  // The service itself redirects down to HTTP: the redirect answer is all
  // the request returns.
  EXPECT_EQ(runParts(secure.url(""), 1, scratch.path()),
            (std::vector<std::string>{asked(1), unanswered(1), kDone}));
  EXPECT_TRUE(plain.requests().empty());
}

TEST(PipelineFaults, AnEndlessMediaBodyStopsAtAFullDiskAndKeepsWhatWasWritten) {
  PatternServer media;
  ParseService service({"--link", "1", media.url("/endless.mp4")});
  const TempDir disk;
  EXPECT_EQ(onASmallDisk([&] { return runParts(service.base(), 1, disk.path()); }),
            (std::vector<std::string>{asked(1), answered(1), told("写文件出错!"), kDone}));
  sizeOfTheOnlyFile(disk.path(), "第1集 教程.mp4");
}

}  // namespace
}  // namespace pindlewick
