// Shows the Win32 window through a batch and stops at three moments for
// pictures of the screen: scripts/win32_screenshots.py runs it under Wine on
// an X display and takes the pictures.
//
//   win32_window_shots SERVICE FOLDER
//
// At each moment it prints "started", "downloading" or "finished" on a line
// and waits, the window still, for any line on its input. The download is
// pictured at the point the media server holds it.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <chrono>
#include <cwchar>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

#include "app/initial_state.h"
#include "app/win32/main_window.h"

namespace {

using Clock = std::chrono::steady_clock;

void handleMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

// Handles messages until done() holds, or a minute passes.
bool serveUntil(const std::function<bool()>& done) {
  const auto deadline = Clock::now() + std::chrono::minutes(1);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    handleMessages();
  }
  return true;
}

std::string utf8Of(const wchar_t* wide) {
  std::string utf8(std::wcslen(wide) * 3 + 1, '\0');
  utf8.resize(static_cast<std::size_t>(
      ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr)) - 1);
  return utf8;
}

std::string textOf(HWND control) {
  std::wstring text(256, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return utf8Of(text.c_str());
}

// Lets Wine draw what changed and hand it to the X server, then says which
// moment it is and waits for the picture.
void pose(const char* moment) {
  const auto drawn = Clock::now() + std::chrono::milliseconds(500);
  serveUntil([&] { return Clock::now() > drawn; });
  std::cout << moment << std::endl;
  std::string taken;
  std::getline(std::cin, taken);
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: win32_window_shots SERVICE FOLDER\n");
    return 2;
  }
  auto state = std::make_shared<pindlewick::WindowState>(pindlewick::initialWindowState());
  pindlewick::Win32Window window(state, {pindlewick::PartSource::Kind::parseService, utf8Of(argv[1])});
  const auto control = [&window](const char* name) { return ::GetDlgItem(window.handle(), pindlewick::controlId(name)); };
  ::SetWindowTextW(control("编辑框1"), L"https://www.example.com/video/BV1");
  ::SetWindowTextW(control("编辑框3"), L"1");
  ::SetWindowTextW(control("编辑框4"), (std::wstring(argv[2]) + L"\\").c_str());
  ::ShowWindow(window.handle(), SW_SHOW);
  pose("started");

  ::SendMessageW(control("按钮1"), BM_CLICK, 0, 0);
  if (!serveUntil([&] { return ::SendMessageW(control("进度条1"), PBM_GETPOS, 0, 0) >= 40; })) {
    std::fprintf(stderr, "the window never showed the download half way\n");
    return 1;
  }
  pose("downloading");

  if (!serveUntil([&] { return textOf(control("标签5")) == "任务完成。"; })) {
    std::fprintf(stderr, "the batch did not finish\n");
    return 1;
  }
  pose("finished");
  return 0;
}
