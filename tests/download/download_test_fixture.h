// The download tests' fixture: a scratch folder with the file a download
// stores, short limits, and what a download did.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "download/download.h"
#include "tests/support/recording_listener.h"
#include "tests/support/test_servers.h"

namespace pindlewick::testing {

struct Outcome {
  int result;
  std::vector<ProgressReport> reports;
  std::vector<std::string> window;
};

class DownloadTest : public ::testing::Test {
 protected:
  // Our servers are on loopback; a proxy set for the machine must not catch them.
  void SetUp() override {
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy",
                             "NO_PROXY"}) {
      setEnvironmentVariable(name, nullptr);
    }
  }

  Outcome download(const std::string& url, const std::filesystem::path& path,
                   std::optional<std::int64_t> offset = {}) {
    RecordingListener listener;
    const DownloadResult result = downloadFile(Text(url), path, listener, offset, settings);
    return {result.succeeded() ? 0 : -1, listener.reports, listener.messages};
  }
  Outcome download(const std::string& url, std::optional<std::int64_t> offset = {}) {
    return download(url, file, offset);
  }

  TempDir folder;
  std::filesystem::path file = folder.path() / "part.mp4";
  DownloadSettings settings{.connectLimit = std::chrono::seconds(5),
                            .stallLimit = std::chrono::milliseconds(300),
                            .headers = {}};
};

}  // namespace pindlewick::testing
