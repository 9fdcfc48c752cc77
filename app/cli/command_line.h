// The command line itself (main.cpp), which the platform's entry point calls
// (entry_posix.cpp, entry_win32.cpp).
#pragma once

#include <string>
#include <vector>

namespace pindlewick {

// Runs the command line on its arguments (without the program's name, UTF-8)
// and returns the exit status. stderrIsTerminal: stderr is a terminal that
// draws "\r" and "\033[K", so the live progress row can be shown there.
int runCommandLine(const std::vector<std::string>& arguments, bool stderrIsTerminal);

}  // namespace pindlewick
