#include "tests/site/fixture_site.h"

#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace pindlewick::testing {
namespace {

std::vector<std::string> commandLine(const std::filesystem::path& log, const std::vector<std::string>& options) {
  std::vector<std::string> argv = {PINDLEWICK_PYTHON, "-B", PINDLEWICK_TEST_DIR "/site/fixture_site.py", "--log",
                                   linuxPath(log)};
  argv.insert(argv.end(), options.begin(), options.end());
  return argv;
}

// The port the fixture prints as its first line once it listens.
int announcedPort(ChildProcess& fixture) {
  const int port = std::atoi(fixture.readLine().c_str());
  if (port <= 0) throw std::runtime_error("the fixture site did not start");
  return port;
}

}  // namespace

FixtureSite::FixtureSite(const std::vector<std::string>& options)
    : process_(commandLine(dir_.path() / "requests.log", options)), port_(announcedPort(process_)) {}

std::string FixtureSite::base() const { return "http://127.0.0.1:" + std::to_string(port_); }

// The fixture writes a request's line before it answers, so every request
// whose answer has arrived is in the log.
std::vector<nlohmann::json> FixtureSite::requests() const {
  std::istringstream log(readFile(dir_.path() / "requests.log"));
  std::vector<nlohmann::json> requests;
  for (std::string line; std::getline(log, line);) requests.push_back(nlohmann::json::parse(line));
  return requests;
}

std::vector<nlohmann::json> FixtureSite::requestsFor(const std::string& path) const {
  std::vector<nlohmann::json> matching;
  for (nlohmann::json& request : requests()) {
    if (request["path"] == path) matching.push_back(std::move(request));
  }
  return matching;
}

}  // namespace pindlewick::testing
