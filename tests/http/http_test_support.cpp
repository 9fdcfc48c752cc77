#include "tests/http/http_test_support.h"

namespace pindlewick::testing {

ScriptedServer& sharedServer() {
  static ScriptedServer server;
  return server;
}

HttpRequestArgs argsFor(const std::string& path) {
  HttpRequestArgs args;
  args.url = Text(sharedServer().url(path));
  args.timeoutSeconds = 5;
  return args;
}

std::string headPart(const std::string& request) { return request.substr(0, request.find("\r\n\r\n") + 2); }

std::string bodyPart(const std::string& request) { return request.substr(request.find("\r\n\r\n") + 4); }

}  // namespace pindlewick::testing
