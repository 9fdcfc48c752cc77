// Downloads under limits only POSIX systems set.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "tests/download/download_test_fixture.h"

namespace pindlewick {
namespace {

using testing::DownloadTest;
using testing::Outcome;
using testing::PatternServer;
using testing::patternBytes;
using testing::readFile;

// Writes past the limit fail with EFBIG, as a full disk fails with ENOSPC,
// once SIGXFSZ is ignored as both programs ignore it (the command line's own
// test runs it under a limit without help).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit saved_{};
  sighandler_t previousHandler_;
};

TEST_F(DownloadTest, AFailingWriteStopsTheDownloadAndKeepsWhatWasWritten) {
  PatternServer server;
  Outcome outcome;
  {
    FileSizeLimit limit(25000);
    outcome = download(server.url("/bytes?size=100000"));
  }
  EXPECT_EQ(outcome.result, -1);
  EXPECT_EQ(outcome.window, std::vector<std::string>{"信息： 写文件出错!"});
  EXPECT_EQ(readFile(file), patternBytes(25000));
  ASSERT_FALSE(outcome.reports.empty());
  EXPECT_LE(outcome.reports.back().totalBytes, 25000);
}

}  // namespace
}  // namespace pindlewick
