// Servers the HTTP tests and benchmarks start on 127.0.0.1 and stop again:
// the scriptable fixture server, tinyproxy, and a certificate authority
// made at run time.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace pindlewick::testing {

// A directory removed with everything in it at the end of its life.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A child process, terminated and reaped at the end of its life.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // The first line the child writes to its standard output.
  std::string firstLine();

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

// Runs a command to its end; true when it exits with status 0.
bool runCommand(const std::vector<std::string>& argv);

// A port that was free a moment ago.
int freePort();

// Waits until something accepts connections on the port; false after 5 s.
bool waitForListener(int port);

// A raw HTTP/1.1 response with Content-Length and Connection: close.
std::string response(const std::string& status, const std::string& headers, const std::string& body);

class FixtureServer {
 public:
  // With certificate and key: HTTPS.
  explicit FixtureServer(const std::filesystem::path& certificate = {},
                         const std::filesystem::path& key = {});
  int port() const { return port_; }
  std::string url(const std::string& path) const;
  // The raw bytes that answer requests for path; hang holds the connection
  // open afterwards.
  void script(const std::string& path, const std::string& raw, bool hang = false) const;
  // Every request recorded so far, in arrival order, exactly as it arrived.
  std::vector<std::string> requests() const;

 private:
  TempDir dir_;
  std::string scheme_;
  ChildProcess process_;
  int port_;
};

// A certificate authority and a server certificate for 127.0.0.1 it signed.
class TestAuthority {
 public:
  TestAuthority();
  std::filesystem::path authority() const { return dir_.path() / "ca.pem"; }
  std::filesystem::path certificate() const { return dir_.path() / "server.pem"; }
  std::filesystem::path key() const { return dir_.path() / "server.key"; }

 private:
  TempDir dir_;
};

// tinyproxy on a free port; with a user and password it asks for them.
// Without tunnels it refuses every CONNECT.
class Tinyproxy {
 public:
  explicit Tinyproxy(const std::string& user = {}, const std::string& password = {},
                     bool allowTunnels = true);
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  TempDir dir_;
  int port_;
  ChildProcess process_;
};

}  // namespace pindlewick::testing
