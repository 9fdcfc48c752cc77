// The stand-in parse service of parse_service.py, on 127.0.0.1.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "app/part_resolver.h"
#include "tests/support/test_servers.h"

namespace pindlewick::testing {

class ParseService {
 public:
  // options: see parse_service.py (--empty N, --fail N, --cut N, --no-markers N,
  // --title N T, --link N URL, --utf8 N, --invalid N). With certificate and
  // key: HTTPS.
  explicit ParseService(std::vector<std::string> options = {},
                        const std::filesystem::path& certificate = {},
                        const std::filesystem::path& key = {})
      : scheme_(certificate.empty() ? "http" : "https"),
        process_(arguments(std::move(options), certificate, key)),
        port_(std::stoi(process_.readLine())) {}
  std::string base() const { return scheme_ + "://127.0.0.1:" + std::to_string(port_); }
  // A batch that asks this service.
  PartSource source() const { return {PartSource::Kind::parseService, base()}; }

 private:
  // -B keeps the shared import of tests/support from leaving bytecode behind.
  static std::vector<std::string> arguments(std::vector<std::string> options,
                                            const std::filesystem::path& certificate,
                                            const std::filesystem::path& key) {
    options.insert(options.begin(),
                   {PINDLEWICK_PYTHON, "-B", PINDLEWICK_TEST_DIR "/app/parse_service.py"});
    if (!certificate.empty()) options.insert(options.end(), {"--tls", linuxPath(certificate), linuxPath(key)});
    return options;
  }
  std::string scheme_;
  ChildProcess process_;
  int port_;
};

// The size of every media file the service hosts.
inline constexpr std::size_t kParseServiceMediaSize = 50000;

}  // namespace pindlewick::testing
