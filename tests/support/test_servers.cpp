#include "tests/support/test_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace pindlewick::testing {
namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "pindlewick-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  std::vector<char*> arguments;
  for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  const int spawned =
      ::posix_spawn(&pid_, arguments[0], &actions, nullptr, arguments.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeEnds[1]);
  output_ = pipeEnds[0];
  if (spawned != 0) throw std::runtime_error("cannot start " + argv[0]);
}

ChildProcess::~ChildProcess() {
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
  ::close(output_);
}

std::string ChildProcess::readLine() {
  std::string line;
  char c;
  while (::read(output_, &c, 1) == 1 && c != '\n') line.push_back(c);
  return line;
}

FixtureServer::FixtureServer() : FixtureServer(std::vector<std::string>{}, "http") {}

FixtureServer::FixtureServer(const fs::path& certificate, const fs::path& key)
    : FixtureServer({"--tls", certificate.string(), key.string()}, "https") {}

FixtureServer::FixtureServer(const std::vector<std::string>& extraArguments, std::string scheme)
    : process_([&] {
        std::vector<std::string> argv = {PINDLEWICK_PYTHON, "-B",
                                         PINDLEWICK_TEST_DIR "/support/pattern_server.py"};
        argv.insert(argv.end(), extraArguments.begin(), extraArguments.end());
        return argv;
      }()),
      scheme_(std::move(scheme)),
      port_(std::stoi(process_.readLine())) {}

std::string FixtureServer::url(const std::string& path) const {
  return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path;
}

namespace {

bool accepts(int port) {
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected =
      ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(probe);
  return connected;
}

std::string nginxConfig(const fs::path& work, const fs::path& root, int port) {
  const std::string w = work.string();
  std::ostringstream config;
  config << "daemon off; master_process off; worker_processes 1;\n"
         << "pid " << w << "/nginx.pid; error_log " << w << "/error.log;\n"
         << "events { worker_connections 64; }\n"
         << "http {\n  access_log off;\n"
         << "  client_body_temp_path " << w << "/body; proxy_temp_path " << w << "/proxy;\n"
         << "  fastcgi_temp_path " << w << "/fastcgi; uwsgi_temp_path " << w << "/uwsgi;\n"
         << "  scgi_temp_path " << w << "/scgi;\n"
         << "  server { listen 127.0.0.1:" << port << "; root " << root.string() << "; }\n}\n";
  return config.str();
}

}  // namespace

NginxServer::NginxServer(const fs::path& root)
    : port_(unusedPort()),
      process_([&] {
        writeFile(work_.path() / "nginx.conf", nginxConfig(work_.path(), root, port_));
        return std::vector<std::string>{PINDLEWICK_NGINX, "-e", (work_.path() / "error.log").string(),
                                        "-p", work_.path().string(), "-c",
                                        (work_.path() / "nginx.conf").string()};
      }()) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!accepts(port_)) {
    if (std::chrono::steady_clock::now() > deadline) {
      throw std::runtime_error("nginx did not start: " + readFile(work_.path() / "error.log"));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string NginxServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

TestCertificate::TestCertificate(const fs::path& folder)
    : certificate(folder / "cert.pem"), key(folder / "key.pem") {
  const std::string command =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
      " -addext subjectAltName=IP:127.0.0.1 -keyout '" + key.string() + "' -out '" +
      certificate.string() + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("openssl failed");
}

int unusedPort() {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(listener);
  return ntohs(address.sin_port);
}

std::string patternBytes(std::size_t size, std::size_t from) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((from + i) % 251);
  return bytes;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

}  // namespace pindlewick::testing
