// The real window on Qt's offscreen platform, set up for a batch of part 1
// only: the stand-in parse service of the tests answers with a media link
// chosen by the caller, and the file lands in a scratch folder. Shared by the
// screenshot program and the window benchmark.
#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/qt/main_window.h"
#include "tests/app/parse_service.h"
#include "tests/support/test_servers.h"

namespace pindlewick {

class WindowSession {
 public:
  explicit WindowSession(const std::string& mediaUrl);

  MainWindow& window() { return window_; }
  void clickStart();
  QString status() const;  // 标签5
  int progress() const;    // 进度条1
  bool finished() const;   // the status line says "任务完成。"
  std::uintmax_t savedBytes() const;  // in the scratch folder, all files together

  // Runs the window's event loop until done() holds or the timeout passes;
  // true when done() holds.
  bool serveUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

 private:
  template <typename Control>
  Control& control(const char* name) const;

  testing::TempDir folder_;
  testing::ParseService service_;
  std::shared_ptr<WindowState> state_;
  MainWindow window_;
};

}  // namespace pindlewick
