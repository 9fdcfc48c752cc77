// The processes, ports, folders and environment of test_servers.h for a
// Windows test program under Wine. Wine can start a Linux program but cannot
// wait for it or stop it, so the test program starts process_broker.py once,
// which starts, stops and runs the Linux programs and holds the ports for it,
// asked over a loopback connection.
#include <winsock2.h>

#include <cstdlib>
#include <mutex>
#include <random>
#include <stdexcept>

#include "tests/support/test_platform.h"
#include "tests/support/test_servers.h"

namespace pindlewick::testing {
namespace fs = std::filesystem;

namespace {

// Winsock, from the first use until the program ends.
void useWinsock() {
  struct Winsock {
    Winsock() {
      WSADATA data;
      if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
    }
    ~Winsock() { ::WSACleanup(); }
  };
  static const Winsock winsock;
}

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  return address;
}

// A socket that listens on a free port of 127.0.0.1 for one connection.
SOCKET listeningSocket() {
  useWinsock();
  const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  const sockaddr_in address = loopback(0);
  if (listener == INVALID_SOCKET ||
      ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 1) != 0) {
    ::closesocket(listener);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  return listener;
}

std::wstring widened(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                                           static_cast<int>(wide.size()));
  wide.resize(static_cast<std::size_t>(length));
  return wide;
}

// A connection to 127.0.0.1:port; INVALID_SOCKET when nothing accepts it.
SOCKET connectTo(int port) {
  useWinsock();
  const SOCKET connection = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  const sockaddr_in address = loopback(port);
  if (connection != INVALID_SOCKET &&
      ::connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::closesocket(connection);
    return INVALID_SOCKET;
  }
  return connection;
}

// The one connection of this program to process_broker.py, which it starts
// on first use. What the broker holds for it goes when the connection closes,
// at the latest when the program ends.
class Broker {
 public:
  static Broker& connection() {
    static Broker broker;
    return broker;
  }

  // Sends a request (see process_broker.py) and returns the field of its
  // "ok" reply, "" when it has none; throws on an "error" reply.
  std::string request(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& field : fields) {
      if (field.find_first_of("\t\n") != std::string::npos) {
        throw std::invalid_argument("a tab or line break cannot reach the broker: " + field);
      }
      line += (line.empty() ? "" : "\t") + field;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    send(line + "\n");
    const std::string reply = receiveLine();
    const std::size_t tab = reply.find('\t');
    const std::string status = reply.substr(0, tab);
    const std::string rest = tab == std::string::npos ? "" : reply.substr(tab + 1);
    if (status != "ok") throw std::runtime_error("process broker: " + rest);
    return rest;
  }

 private:
  // Starts the broker, which connects back to a port of ours. Wine runs a
  // Linux program without a handle to it, so nothing waits for its end: it
  // ends by itself once this connection closes.
  Broker() {
    const SOCKET listener = listeningSocket();
    sockaddr_in address{};
    int length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    // The program by its Windows name, the command line as Linux reads it;
    // -I -S: the broker needs only the standard library and starts faster.
    const std::wstring program = widened("Z:" PINDLEWICK_PYTHON);
    const std::string port = std::to_string(::ntohs(address.sin_port));
    std::wstring commandLine =
        widened(PINDLEWICK_PYTHON " -B -I -S " PINDLEWICK_TEST_DIR "/support/process_broker.py " + port);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const bool started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                          nullptr, nullptr, &startup, &process);
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(listener, &ready);
    timeval limit{10, 0};  // a broker that fails to start never connects
    if (started && ::select(0, &ready, nullptr, nullptr, &limit) == 1) {
      socket_ = ::accept(listener, nullptr, nullptr);
    }
    ::closesocket(listener);
    if (socket_ == INVALID_SOCKET) throw std::runtime_error("the process broker did not start");
  }
  ~Broker() { ::closesocket(socket_); }

  void send(const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
      const int n = ::send(socket_, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
      if (n <= 0) throw std::runtime_error("the process broker went away");
      sent += static_cast<std::size_t>(n);
    }
  }

  std::string receiveLine() {
    std::size_t end;
    while ((end = received_.find('\n')) == std::string::npos) {
      char chunk[4096];
      const int n = ::recv(socket_, chunk, sizeof chunk, 0);
      if (n <= 0) throw std::runtime_error("the process broker went away");
      received_.append(chunk, static_cast<std::size_t>(n));
    }
    std::string line = received_.substr(0, end);
    received_.erase(0, end + 1);
    return line;
  }

  SOCKET socket_ = INVALID_SOCKET;
  std::string received_;
  std::mutex mutex_;
};

std::vector<std::string> prepended(const std::string& first, const std::vector<std::string>& rest) {
  std::vector<std::string> fields = {first};
  fields.insert(fields.end(), rest.begin(), rest.end());
  return fields;
}

}  // namespace

std::string linuxPath(const fs::path& path) {
  const std::u8string name = path.generic_u8string();
  if (!path.is_absolute() || (name.rfind(u8"Z:", 0) != 0 && name.rfind(u8"z:", 0) != 0)) {
    throw std::invalid_argument("no Linux name: " + path.string());
  }
  return std::string(name.begin() + 2, name.end());
}

// curl's Schannel matches no IP address in a certificate.
std::string secureHost() { return "localhost"; }

// Wine's crypt32 refuses an ECDSA signature whose r or s is shorter than the
// curve's 32 bytes (one certificate in about 64): the authority signs with RSA.
std::vector<std::string> authorityKeyOptions() { return {"-newkey", "rsa:2048"}; }

bool systemAuthoritiesChecked() { return false; }

// Under Linux's temporary folder, so the Linux programs see it too.
TempDir::TempDir() {
  const char* linuxTemp = std::getenv("TMPDIR");
  const fs::path base = fs::path("Z:") / (linuxTemp ? linuxTemp : "/tmp");
  std::random_device random;
  do {
    path_ = base / ("pindlewick-" + std::to_string(random()));
  } while (!fs::create_directory(path_));
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

struct ChildProcess::Handle {
  std::string id;  // the broker's
};

ChildProcess::ChildProcess(const std::vector<std::string>& argv)
    : handle_(std::make_unique<Handle>(Handle{Broker::connection().request(prepended("start", argv))})) {}

ChildProcess::~ChildProcess() { Broker::connection().request({"stop", handle_->id}); }

std::string ChildProcess::readLine() { return Broker::connection().request({"line", handle_->id}); }

bool runCommand(const std::vector<std::string>& argv) {
  return Broker::connection().request(prepended("run", argv)) == "0";
}

ReservedPort::ReservedPort() : number_(std::stoi(Broker::connection().request({"reserve"}))) {}

ReservedPort::~ReservedPort() { Broker::connection().request({"release", std::to_string(number_)}); }

bool acceptsConnections(int port) {
  const SOCKET probe = connectTo(port);
  if (probe == INVALID_SOCKET) return false;
  ::closesocket(probe);
  return true;
}

void setEnvironmentVariable(const char* name, const char* value) {
  // An empty value removes the variable; _putenv_s sets the process's own
  // environment block as well, which libcurl reads.
  ::_putenv_s(name, value ? value : "");
}

}  // namespace pindlewick::testing
