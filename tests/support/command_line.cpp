#include "tests/support/command_line.h"

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

namespace pindlewick::testing {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

}  // namespace

CliRun runProgram(const std::string& program, const TempDir& scratch,
                  const std::vector<std::string>& arguments, const std::string& prefix) {
  std::string command = prefix + " " + program;
  for (const std::string& argument : arguments) command += " '" + argument + "'";
  const std::filesystem::path out = scratch.path() / "stdout", err = scratch.path() / "stderr";
  const int status = std::system((command + " >" + out.string() + " 2>" + err.string()).c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, linesOf(readFile(out)), readFile(err)};
}

}  // namespace pindlewick::testing
