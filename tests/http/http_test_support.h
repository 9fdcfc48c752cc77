// Shared pieces of the HTTP request tests: one scripted server per test
// program, and arguments aimed at it.
#pragma once

#include <memory>
#include <string>

#include "http/http_request.h"
#include "tests/support/test_servers.h"

namespace pindlewick::testing {

// The numbered failures httpRequest puts in statusText, in code page 936.
inline const Text kUrlFailed = "701 \xBD\xE2\xCE\xF6URL\xB5\xD8\xD6\xB7\xCA\xA7\xB0\xDC!";
inline const Text kSendFailed = "711 \xB7\xA2\xCB\xCD\xC7\xEB\xC7\xF3\xCA\xA7\xB0\xDC!";
inline const Text kNoResponse = "712 \xB7\xFE\xCE\xF1\xC6\xF7\xCE\xB4\xCF\xEC\xD3\xA6!";

// The plain-HTTP scripted server of the test program, started on first use.
ScriptedServer& sharedServer();

// Arguments for path on the shared server, with a short time-out.
HttpRequestArgs argsFor(const std::string& path);

// The request line and header lines of a recorded request, without the body.
std::string headPart(const std::string& request);
std::string bodyPart(const std::string& request);

}  // namespace pindlewick::testing
