// The fixture of the video site (fixture_site.py beside this file) as a
// child process on 127.0.0.1, with the log of the requests it got.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "tests/support/test_servers.h"

namespace pindlewick::testing {

class FixtureSite {
 public:
  // options: those of fixture_site.py other than --log ("--no-finger", "--stale-keys").
  explicit FixtureSite(const std::vector<std::string>& options = {});
  // The API base, the CDN and the short links alike: "http://127.0.0.1:<port>".
  std::string base() const;
  // Every request answered so far, in arrival order: method, path, query and
  // headers (lower-case names).
  std::vector<nlohmann::json> requests() const;
  // The requests for path alone.
  std::vector<nlohmann::json> requestsFor(const std::string& path) const;

 private:
  TempDir dir_;
  ChildProcess process_;
  int port_;
};

}  // namespace pindlewick::testing
