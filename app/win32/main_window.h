// The program's only window on Windows, made of Windows' own controls. Like
// the Qt window on Linux, it shows the shared WindowState, which the batch
// workers write, at its own pace, and feeds what the user types back into it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "app/part_resolver.h"
#include "app/window_state.h"
#include "text/text.h"

namespace pindlewick {

// The control ID of the control the form names name (UTF-8: "标签1",
// "编辑框4", "按钮1", "进度条1", ...), for GetDlgItem; 0 for no such control.
int controlId(std::string_view name);

class Win32Window {
 public:
  // Creates the window and its thirteen controls, hidden.
  Win32Window(std::shared_ptr<WindowState> state, PartSource source);
  ~Win32Window();
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  HWND handle() const { return window_; }

  // Shows what the workers wrote since the last refresh, then any message
  // that waits; the window's timer calls it, tests may call it directly.
  void refresh();

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void addControl(int id, const wchar_t* className, std::string_view utf8Text, DWORD style,
                  DWORD extendedStyle = 0);
  void placeControls(UINT dpi);
  void handleCommand(int id, int notification);
  void showNonModalMessage(TextView text, TextView caption, std::optional<std::uint64_t> answerId);
  void showWaitingMessages();

  struct FontDeleter {
    void operator()(HFONT font) const;
  };
  using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

  std::shared_ptr<WindowState> state_;
  PartSource source_;
  Font textFont_;
  Font progressRowFont_;
  HWND window_ = nullptr;
  std::uint64_t shownVersion_ = 0;
};

}  // namespace pindlewick
