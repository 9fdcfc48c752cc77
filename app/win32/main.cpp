// Starts the window on Windows. Parts are resolved by the site's own API
// (`--site BASE` replaces its address) unless `--service BASE` names a parse
// service.
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/initial_state.h"
#include "app/win32/main_window.h"

namespace {

std::string utf8Of(const wchar_t* wide) {
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), length, nullptr, nullptr);
  utf8.resize(utf8.size() - 1);  // the terminator
  return utf8;
}

// The program's arguments in UTF-8, whatever the system's code page.
std::vector<std::string> arguments() {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> utf8;
  for (int i = 1; i < count; ++i) utf8.push_back(utf8Of(wide[i]));
  ::LocalFree(wide);
  return utf8;
}

std::optional<std::string> option(const std::vector<std::string>& arguments, const char* name) {
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == name) return arguments[i + 1];
  }
  return std::nullopt;
}

int runMessageLoop(HWND window) {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (::IsDialogMessageW(window, &message)) continue;  // Tab between the controls
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  const std::vector<std::string> given = arguments();
  auto state = std::make_shared<pindlewick::WindowState>(pindlewick::initialWindowState());
  pindlewick::Win32Window window(state,
                                 pindlewick::partSourceFor(option(given, "--service"), option(given, "--site")));
  ::ShowWindow(window.handle(), showCommand);
  const int status = runMessageLoop(window.handle());

  // Closing the window ends the program at once: batches still running and
  // message boxes still open are not waited for, and no destructor races
  // with them.
  state->shutDown();
  std::fflush(nullptr);
  std::_Exit(status);
}
