// Runs the command line as it ships, in a shell, and collects what it wrote.
#pragma once

#include <string>
#include <vector>

#include "tests/support/test_servers.h"

namespace pindlewick::testing {

struct CliRun {
  int exitStatus = -1;
  std::vector<std::string> out;  // stdout, line by line
  std::string err;
};

// program with arguments (each quoted for the shell); stdout and stderr go
// to files in scratch. prefix goes before the program on the shell's command
// line: variables, or a wrapper such as prlimit.
CliRun runProgram(const std::string& program, const TempDir& scratch,
                  const std::vector<std::string>& arguments, const std::string& prefix = "");

}  // namespace pindlewick::testing
