// The whole batch in-process, from the page address to the files, against a
// stand-in parse service on 127.0.0.1, with windows whose boxes change while
// the batch runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/pipeline.h"
#include "app/window_state.h"
#include "tests/app/parse_service.h"
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
      const fs::path file =
          scratch.path() / testing::utf8Path(batch.titlePrefix + std::to_string(part) + "." + batch.extension);
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
  EXPECT_FALSE(fs::exists(scratch.path() / u8"第1集 教程.mp4"));
  EXPECT_EQ(fs::file_size(scratch.path() / u8"第2集 教程.mp4"), kMediaSize);
}

}  // namespace
}  // namespace pindlewick
