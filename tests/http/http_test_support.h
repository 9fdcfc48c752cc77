// Shared pieces of the HTTP request tests: one scripted server per test
// program, and arguments aimed at it.
#pragma once

#include <memory>
#include <string>

#include "http/http_request.h"
#include "tests/support/test_servers.h"

namespace pindlewick::testing {

// The plain-HTTP scripted server of the test program, started on first use.
ScriptedServer& sharedServer();

// Arguments for path on the shared server, with a short time-out.
HttpRequestArgs argsFor(const std::string& path);

// The request line and header lines of a recorded request, without the body.
std::string headPart(const std::string& request);
std::string bodyPart(const std::string& request);

}  // namespace pindlewick::testing
