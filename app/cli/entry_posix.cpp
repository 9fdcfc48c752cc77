// The command line's entry point on POSIX systems.
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "app/cli/command_line.h"

int main(int argc, char* argv[]) {
  // Past a file-size limit a write then fails with EFBIG, so the part fails
  // with a message and the batch goes on instead of the signal ending it.
  std::signal(SIGXFSZ, SIG_IGN);
  return pindlewick::runCommandLine(std::vector<std::string>(argv + 1, argv + argc),
                                    ::isatty(STDERR_FILENO) != 0);
}
