#include "tests/http/fixtures.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

std::vector<char*> argvOf(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

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
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, argvOf(argv).data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed) throw std::runtime_error("cannot start " + argv[0]);
  return pid;
}

int exitStatusOf(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) == -1 && errno == EINTR) {
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

void writeFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string readFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "pindlewick-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary directory");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("cannot make a pipe");
  pid_ = spawn(argv, pipeFds[1]);
  close(pipeFds[1]);
  output_ = pipeFds[0];
}

ChildProcess::~ChildProcess() {
  kill(pid_, SIGTERM);
  exitStatusOf(pid_);
  close(output_);
}

std::string ChildProcess::firstLine() {
  std::string line;
  char c = 0;
  while (read(output_, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

bool runCommand(const std::vector<std::string>& argv) {
  return exitStatusOf(spawn(argv, -1)) == 0;
}

int freePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = loopback(0);
  socklen_t size = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  close(fd);
  return ntohs(address.sin_port);
}

bool waitForListener(int port) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback(port);
    const bool accepted = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (accepted) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

std::string response(const std::string& status, const std::string& headers, const std::string& body) {
  return "HTTP/1.1 " + status + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

FixtureServer::FixtureServer(const fs::path& certificate, const fs::path& key)
    : scheme_(certificate.empty() ? "http" : "https"),
      process_([&] {
        std::vector<std::string> argv = {"python3", "-B", FIXTURE_SERVER_SCRIPT, dir_.path().string()};
        if (!certificate.empty()) argv.insert(argv.end(), {"--tls", certificate.string(), key.string()});
        return argv;
      }()),
      port_(std::atoi(process_.firstLine().c_str())) {
  if (port_ <= 0) throw std::runtime_error("the fixture server did not start");
}

std::string FixtureServer::url(const std::string& path) const {
  return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path;
}

void FixtureServer::script(const std::string& path, const std::string& raw, bool hang) const {
  // The server's naming: no outer slashes, inner ones as "_", "/" as "index".
  std::string name = path.substr(path.find_first_not_of('/') == std::string::npos ? path.size() : path.find_first_not_of('/'));
  while (!name.empty() && name.back() == '/') name.pop_back();
  std::replace(name.begin(), name.end(), '/', '_');
  if (name.empty()) name = "index";
  const fs::path file = dir_.path() / "scripts" / name;
  writeFile(file, raw);
  if (hang) writeFile(file.string() + ".hang", "");
}

std::vector<std::string> FixtureServer::requests() const {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir_.path() / "log")) {
    if (entry.path().extension() == ".req") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> recorded;
  for (const fs::path& file : files) recorded.push_back(readFile(file));
  return recorded;
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

Tinyproxy::Tinyproxy(const std::string& user, const std::string& password, bool allowTunnels)
    : port_(freePort()),
      process_([&] {
        std::ostringstream config;
        config << "Port " << port_ << "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\n"
               << "LogLevel Critical\nMaxClients 20\n";
        if (geteuid() == 0) config << "User nobody\nGroup nogroup\n";
        if (!allowTunnels) config << "ConnectPort 1\n";
        if (!user.empty()) config << "BasicAuth " << user << " " << password << "\n";
        writeFile(dir_.path() / "tinyproxy.conf", config.str());
        return std::vector<std::string>{"tinyproxy", "-d", "-c", (dir_.path() / "tinyproxy.conf").string()};
      }()) {
  if (!waitForListener(port_)) throw std::runtime_error("tinyproxy did not start");
}

}  // namespace pindlewick::testing
