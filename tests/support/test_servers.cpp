#include "tests/support/test_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace pindlewick::testing {
namespace fs = std::filesystem;

namespace {

// Starts argv with its standard output on outputFd, or with its standard
// output and error silenced when outputFd is -1.
pid_t spawn(const std::vector<std::string>& argv, int outputFd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (outputFd != -1) {
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  std::vector<char*> arguments;
  for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  pid_t pid = -1;
  const int failed = ::posix_spawnp(&pid, arguments[0], &actions, nullptr, arguments.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed) throw std::runtime_error("cannot start " + argv[0]);
  return pid;
}

int exitStatusOf(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) == -1 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool accepts(int port) {
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = loopback(port);
  const bool connected =
      ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(probe);
  return connected;
}

// Waits until something accepts connections on the port; false when nothing
// does within seconds. On a reserved port that can only be the server started
// for it.
bool waitForListener(int port) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!accepts(port)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string loopbackUrl(const std::string& scheme, int port, const std::string& path) {
  return scheme + "://127.0.0.1:" + std::to_string(port) + path;
}

std::string schemeFor(const fs::path& certificate) { return certificate.empty() ? "http" : "https"; }

// The command line of one of the Python servers in tests/support; -B keeps
// their shared import from leaving bytecode in the source tree.
std::vector<std::string> pythonServer(const std::string& script, const std::vector<std::string>& arguments,
                                      const fs::path& certificate, const fs::path& key) {
  std::vector<std::string> argv = {PINDLEWICK_PYTHON, "-B", PINDLEWICK_TEST_DIR "/support/" + script};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  if (!certificate.empty()) argv.insert(argv.end(), {"--tls", certificate.string(), key.string()});
  return argv;
}

// The port a Python server prints as its first line once it listens.
int announcedPort(ChildProcess& server) {
  const int port = std::atoi(server.readLine().c_str());
  if (port <= 0) throw std::runtime_error("a test server did not start");
  return port;
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

std::string tinyproxyConfig(int port, const std::string& user, const std::string& password,
                            bool allowTunnels) {
  std::ostringstream config;
  config << "Port " << port << "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\n"
         << "LogLevel Critical\nMaxClients 20\n";
  if (::geteuid() == 0) config << "User nobody\nGroup nogroup\n";
  if (!allowTunnels) config << "ConnectPort 1\n";
  if (!user.empty()) config << "BasicAuth " << user << " " << password << "\n";
  return config.str();
}

}  // namespace

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
  // Close-on-exec, so no child keeps a pipe end it was not given.
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  try {
    pid_ = spawn(argv, pipeEnds[1]);
  } catch (...) {
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    throw;
  }
  ::close(pipeEnds[1]);
  output_ = pipeEnds[0];
}

ChildProcess::~ChildProcess() {
  ::kill(pid_, SIGTERM);
  exitStatusOf(pid_);
  ::close(output_);
}

std::string ChildProcess::readLine() {
  std::string line;
  char c;
  while (::read(output_, &c, 1) == 1 && c != '\n') line.push_back(c);
  return line;
}

bool runCommand(const std::vector<std::string>& argv) { return exitStatusOf(spawn(argv, -1)) == 0; }

ReservedPort::ReservedPort() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  const int reuse = 1;
  sockaddr_in address = loopback(0);
  socklen_t length = sizeof address;
  if (socket_ < 0 || ::setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
      ::bind(socket_, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
      ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (socket_ >= 0) ::close(socket_);
    throw std::runtime_error("cannot reserve a port");
  }
  number_ = ntohs(address.sin_port);
}

ReservedPort::~ReservedPort() { ::close(socket_); }

PatternServer::PatternServer(const fs::path& certificate, const fs::path& key)
    : scheme_(schemeFor(certificate)),
      process_(pythonServer("pattern_server.py", {}, certificate, key)),
      port_(announcedPort(process_)) {}

std::string PatternServer::url(const std::string& path) const { return loopbackUrl(scheme_, port_, path); }

ScriptedServer::ScriptedServer(const fs::path& certificate, const fs::path& key)
    : scheme_(schemeFor(certificate)),
      process_(pythonServer("scripted_server.py", {dir_.path().string()}, certificate, key)),
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
        return std::vector<std::string>{PINDLEWICK_NGINX, "-e", (work_.path() / "error.log").string(),
                                        "-p", work_.path().string(), "-c",
                                        (work_.path() / "nginx.conf").string()};
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
        return std::vector<std::string>{"tinyproxy", "-d", "-c", (dir_.path() / "tinyproxy.conf").string()};
      }()) {
  if (!waitForListener(port_.number())) throw std::runtime_error("tinyproxy did not start");
}

TestAuthority::TestAuthority() {
  const std::string dir = dir_.path().string();
  writeFile(dir_.path() / "server.ext", "subjectAltName=IP:127.0.0.1\n");
  const std::vector<std::string> ecKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
  auto with = [&](std::vector<std::string> argv, std::vector<std::string> tail) {
    argv.insert(argv.end(), tail.begin(), tail.end());
    return argv;
  };
  const bool made =
      runCommand(with({"openssl", "req", "-x509", "-days", "1", "-subj", "/CN=Pindlewick test CA",
                       "-keyout", dir + "/ca.key", "-out", dir + "/ca.pem"},
                      ecKey)) &&
      runCommand(with({"openssl", "req", "-subj", "/CN=127.0.0.1", "-keyout", dir + "/server.key", "-out",
                       dir + "/server.csr"},
                      ecKey)) &&
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

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

}  // namespace pindlewick::testing
