// The processes, ports, folders and environment of test_servers.h on Linux,
// where the test program starts and stops its servers itself.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/test_platform.h"
#include "tests/support/test_servers.h"

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

}  // namespace

std::string linuxPath(const fs::path& path) { return path.string(); }

std::string secureHost() { return "127.0.0.1"; }

std::vector<std::string> authorityKeyOptions() {
  return {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1"};
}

bool systemAuthoritiesChecked() { return true; }

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "pindlewick-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

struct ChildProcess::Handle {
  pid_t pid;
  int output;  // the read end of its standard output
};

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  // Close-on-exec, so no child keeps a pipe end it was not given.
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  try {
    handle_ = std::make_unique<Handle>(Handle{spawn(argv, pipeEnds[1]), pipeEnds[0]});
  } catch (...) {
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    throw;
  }
  ::close(pipeEnds[1]);
}

ChildProcess::~ChildProcess() {
  ::kill(handle_->pid, SIGTERM);
  exitStatusOf(handle_->pid);
  ::close(handle_->output);
}

std::string ChildProcess::readLine() {
  std::string line;
  char c;
  while (::read(handle_->output, &c, 1) == 1 && c != '\n') line.push_back(c);
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

bool acceptsConnections(int port) {
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = loopback(port);
  const bool connected =
      ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(probe);
  return connected;
}

void setEnvironmentVariable(const char* name, const char* value) {
  if (value) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

}  // namespace pindlewick::testing
