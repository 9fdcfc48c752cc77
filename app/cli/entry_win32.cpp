// The command line's entry point on Windows. The arguments arrive in UTF-16
// (wmain), so any text survives whatever the system's code page, and go on
// as UTF-8; the console shows UTF-8 and draws the live row's escape
// sequences while the program runs, and gets its settings back afterwards.
#include <windows.h>
// after windows.h
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "app/cli/command_line.h"

namespace {

// Larger than any line the command line writes.
constexpr std::size_t kStreamBuffer = 64 * 1024;

std::string utf8Of(const wchar_t* wide) {
  const int wideLength = static_cast<int>(std::wcslen(wide));
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

// The console's output code page and stderr's mode for the program's run.
class ConsoleForTheRun {
 public:
  ConsoleForTheRun() : codePage_(::GetConsoleOutputCP()) {
    ::SetConsoleOutputCP(CP_UTF8);
    errorHasMode_ = ::GetConsoleMode(error_, &errorMode_) != 0;
    // Windows 10 and later draw escape sequences once asked; a file or a
    // pipe has no console mode and gets no live row.
    stderrIsTerminal_ =
        errorHasMode_ && ((errorMode_ & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
                          ::SetConsoleMode(error_, errorMode_ | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0);
  }
  ConsoleForTheRun(const ConsoleForTheRun&) = delete;
  ConsoleForTheRun& operator=(const ConsoleForTheRun&) = delete;
  ~ConsoleForTheRun() {
    std::fflush(stdout);
    std::fflush(stderr);
    if (errorHasMode_) ::SetConsoleMode(error_, errorMode_);
    if (codePage_ != 0) ::SetConsoleOutputCP(codePage_);
  }

  bool stderrIsTerminal() const { return stderrIsTerminal_; }

 private:
  const UINT codePage_;  // 0 without a console
  const HANDLE error_ = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD errorMode_ = 0;
  bool errorHasMode_ = false;
  bool stderrIsTerminal_ = false;
};

// Binary, so the program writes the same bytes as on Linux (no "\r" added
// before each "\n"); buffered, since the C library writes to an unbuffered
// console byte by byte and the console cannot join a character's UTF-8 bytes
// from separate writes. The command line flushes after each write.
void prepareStream(std::FILE* stream) {
  ::_setmode(::_fileno(stream), _O_BINARY);
  std::setvbuf(stream, nullptr, _IOFBF, kStreamBuffer);
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  prepareStream(stdout);
  prepareStream(stderr);
  const ConsoleForTheRun console;
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(utf8Of(argv[i]));
  return pindlewick::runCommandLine(arguments, console.stderrIsTerminal());
}
