// The stand-in parse service of parse_service.py, on 127.0.0.1.
#pragma once

#include <string>
#include <vector>

#include "tests/support/test_servers.h"

namespace pindlewick::testing {

class ParseService {
 public:
  // options: see parse_service.py (--empty N, --no-markers N, --title N T, --utf8 N).
  explicit ParseService(std::vector<std::string> options = {})
      : process_(arguments(std::move(options))), port_(std::stoi(process_.readLine())) {}
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  static std::vector<std::string> arguments(std::vector<std::string> options) {
    options.insert(options.begin(),
                   {PINDLEWICK_PYTHON, PINDLEWICK_TEST_DIR "/app/parse_service.py"});
    return options;
  }
  ChildProcess process_;
  int port_;
};

// The size of every media file the service hosts.
inline constexpr std::size_t kParseServiceMediaSize = 50000;

}  // namespace pindlewick::testing
