// The window as the pipeline and the progress display see it: edit boxes to
// read, labels and a bar to write, and a message to show. The Qt window, the
// command line and the tests each implement it. Every call may come from any
// thread, so implementations must be thread-safe.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace pindlewick {

enum class EditBox { pageUrl, firstPart, lastPart, folder };  // 编辑框1 .. 编辑框4
enum class Label { status, speed, percent };                  // 标签5, 标签6, 标签7

// The names the window's form gives the controls (UTF-8), for traces.
std::string_view controlName(EditBox box);
std::string_view controlName(Label label);
inline constexpr std::string_view kProgressBarName = "进度条1";

class WindowPort {
 public:
  virtual ~WindowPort() = default;
  // What the user typed, in UTF-8: the folder is used exactly as typed.
  virtual std::string readEditBox(EditBox box) = 0;
  virtual void setLabel(Label label, TextView caption) = 0;
  virtual void setProgressBar(int position) = 0;
  // Shows a message box with one OK button; returns once the user has
  // answered it.
  virtual void showMessage(TextView message, TextView caption) = 0;
  // Whether anybody sees the speed, the bar and the percentage; when nobody
  // does, a download skips the work of writing them for every block.
  virtual bool showsProgress() const { return true; }
};

}  // namespace pindlewick
