#include "tests/support/test_servers.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/test_platform.h"

namespace pindlewick::testing {
namespace fs = std::filesystem;

namespace {

// Waits until something accepts connections on the port; false when nothing
// does within seconds. On a reserved port that can only be the server started
// for it.
bool waitForListener(int port) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!acceptsConnections(port)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string loopbackUrl(const std::string& scheme, int port, const std::string& path) {
  const std::string host = scheme == "https" ? secureHost() : "127.0.0.1";
  return scheme + "://" + host + ":" + std::to_string(port) + path;
}

std::string schemeFor(const fs::path& certificate) { return certificate.empty() ? "http" : "https"; }

// The command line of one of the Python servers in tests/support; -B keeps
// their shared import from leaving bytecode in the source tree.
std::vector<std::string> pythonServer(const std::string& script, const std::vector<std::string>& arguments,
                                      const fs::path& certificate, const fs::path& key) {
  std::vector<std::string> argv = {PINDLEWICK_PYTHON, "-B", PINDLEWICK_TEST_DIR "/support/" + script};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  if (!certificate.empty()) argv.insert(argv.end(), {"--tls", linuxPath(certificate), linuxPath(key)});
  return argv;
}

// The port a Python server prints as its first line once it listens.
int announcedPort(ChildProcess& server) {
  const int port = std::atoi(server.readLine().c_str());
  if (port <= 0) throw std::runtime_error("a test server did not start");
  return port;
}

std::string nginxConfig(const fs::path& work, const fs::path& root, int port) {
  const std::string w = linuxPath(work);
  std::ostringstream config;
  config << "daemon off; master_process off; worker_processes 1;\n"
         << "pid " << w << "/nginx.pid; error_log " << w << "/error.log;\n"
         << "events { worker_connections 64; }\n"
         << "http {\n  access_log off;\n"
         << "  client_body_temp_path " << w << "/body; proxy_temp_path " << w << "/proxy;\n"
         << "  fastcgi_temp_path " << w << "/fastcgi; uwsgi_temp_path " << w << "/uwsgi;\n"
         << "  scgi_temp_path " << w << "/scgi;\n"
         << "  server { listen 127.0.0.1:" << port << "; root " << linuxPath(root) << "; }\n}\n";
  return config.str();
}

std::string tinyproxyConfig(int port, const std::string& user, const std::string& password,
                            bool allowTunnels) {
  std::ostringstream config;
  config << "Port " << port << "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\n"
         << "LogLevel Critical\nMaxClients 20\n";
  // tinyproxy refuses to run as root without them, and ignores them otherwise.
  config << "User nobody\nGroup nogroup\n";
  if (!allowTunnels) config << "ConnectPort 1\n";
  if (!user.empty()) config << "BasicAuth " << user << " " << password << "\n";
  return config.str();
}

}  // namespace

PatternServer::PatternServer(const fs::path& certificate, const fs::path& key)
    : scheme_(schemeFor(certificate)),
      process_(pythonServer("pattern_server.py", {}, certificate, key)),
      port_(announcedPort(process_)) {}

std::string PatternServer::url(const std::string& path) const { return loopbackUrl(scheme_, port_, path); }

ScriptedServer::ScriptedServer(const fs::path& certificate, const fs::path& key)
    : scheme_(schemeFor(certificate)),
      process_(pythonServer("scripted_server.py", {linuxPath(dir_.path())}, certificate, key)),
      port_(announcedPort(process_)) {}

std::string ScriptedServer::url(const std::string& path) const { return loopbackUrl(scheme_, port_, path); }

void ScriptedServer::script(const std::string& path, const std::string& raw, bool hang) const {
  // The server's naming: no outer slashes, inner ones as "_", "/" as "index".
  const std::size_t start = path.find_first_not_of('/');
  std::string name = start == std::string::npos ? "" : path.substr(start);
  while (!name.empty() && name.back() == '/') name.pop_back();
  std::replace(name.begin(), name.end(), '/', '_');
  if (name.empty()) name = "index";
  const fs::path file = dir_.path() / "scripts" / name;
  writeFile(file, raw);
  if (hang) writeFile(file.string() + ".hang", "");
}

std::vector<std::string> ScriptedServer::requests() const {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir_.path() / "log")) {
    if (entry.path().extension() == ".req") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> recorded;
  for (const fs::path& file : files) recorded.push_back(readFile(file));
  return recorded;
}

std::string response(const std::string& status, const std::string& headers, const std::string& body) {
  return "HTTP/1.1 " + status + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

NginxServer::NginxServer(const fs::path& root)
    : process_([&] {
        writeFile(work_.path() / "nginx.conf", nginxConfig(work_.path(), root, port_.number()));
        return std::vector<std::string>{PINDLEWICK_NGINX, "-e", linuxPath(work_.path() / "error.log"),
                                        "-p", linuxPath(work_.path()), "-c",
                                        linuxPath(work_.path() / "nginx.conf")};
      }()) {
  if (!waitForListener(port_.number())) {
    throw std::runtime_error("nginx did not start: " + readFile(work_.path() / "error.log"));
  }
}

std::string NginxServer::url(const std::string& path) const {
  return loopbackUrl("http", port_.number(), path);
}

Tinyproxy::Tinyproxy(const std::string& user, const std::string& password, bool allowTunnels)
    : process_([&] {
        writeFile(dir_.path() / "tinyproxy.conf",
                  tinyproxyConfig(port_.number(), user, password, allowTunnels));
        return std::vector<std::string>{"tinyproxy", "-d", "-c", linuxPath(dir_.path() / "tinyproxy.conf")};
      }()) {
  if (!waitForListener(port_.number())) throw std::runtime_error("tinyproxy did not start");
}

TestAuthority::TestAuthority() {
  const std::string dir = linuxPath(dir_.path());
  writeFile(dir_.path() / "server.ext", "subjectAltName=IP:127.0.0.1,DNS:localhost\n");
  auto with = [&](std::vector<std::string> argv, std::vector<std::string> tail) {
    argv.insert(argv.end(), tail.begin(), tail.end());
    return argv;
  };
  const bool made =
      runCommand(with({"openssl", "req", "-x509", "-days", "1", "-subj", "/CN=Pindlewick test CA", "-nodes",
                       "-keyout", dir + "/ca.key", "-out", dir + "/ca.pem"},
                      authorityKeyOptions())) &&
      runCommand({"openssl", "req", "-subj", "/CN=127.0.0.1", "-newkey", "ec", "-pkeyopt",
                  "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", dir + "/server.key", "-out",
                  dir + "/server.csr"}) &&
      runCommand({"openssl", "x509", "-req", "-days", "1", "-in", dir + "/server.csr", "-CA", dir + "/ca.pem",
                  "-CAkey", dir + "/ca.key", "-CAcreateserial", "-extfile", dir + "/server.ext", "-out",
                  dir + "/server.pem"});
  if (!made) throw std::runtime_error("openssl could not make the test certificates");
}

std::string patternBytes(std::size_t size, std::size_t from) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((from + i) % 251);
  return bytes;
}

fs::path utf8Path(const std::string& name) { return fs::path(std::u8string(name.begin(), name.end())); }

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

}  // namespace pindlewick::testing
