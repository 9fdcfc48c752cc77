// Loopback servers, certificates and scratch folders for the tests and
// benchmarks. Every server is a child process started on 127.0.0.1 and
// stopped when its owner goes.
//
// On Linux the test program starts the servers itself. A Windows test program
// runs under Wine, which can start a Linux program but not wait for it or stop
// it: there the processes and ports below are held by process_broker.py on the
// Linux side, which the test program starts when it first needs one.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace pindlewick::testing {

// A folder of its own under the system's temporary folder, removed with
// everything in it.
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

// The name a path of this program has for the Linux programs it starts
// (under Wine, drive Z: is the Linux root).
std::string linuxPath(const std::filesystem::path& path);

// A Linux process with its standard output on a pipe; terminated and reaped
// on destruction. argv[0] is looked up on PATH unless it holds a slash; paths
// among the arguments are Linux paths.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // One line of its output, without the line break; "" at its end.
  std::string readLine();

 private:
  struct Handle;  // the platform's own
  std::unique_ptr<Handle> handle_;
};

// Runs a Linux command to its end with its output silenced; true when it
// exits with status 0.
bool runCommand(const std::vector<std::string>& argv);

// A port on 127.0.0.1, held for as long as this object lives by a bound
// socket that never listens: connections to it are refused, and the system
// hands it to no other socket. A server that binds with SO_REUSEADDR (nginx
// and tinyproxy do) can still listen on it, so there is no moment between
// choosing the port and the server taking it in which another process could.
class ReservedPort {
 public:
  ReservedPort();
  ~ReservedPort();
  ReservedPort(const ReservedPort&) = delete;
  ReservedPort& operator=(const ReservedPort&) = delete;
  int number() const { return number_; }

 private:
  int number_;
  int socket_ = -1;  // on Linux the socket that holds it; under Wine the broker holds it
};

// Sets a variable of this program's environment, or with value nullptr
// removes it, where libcurl reads it.
void setEnvironmentVariable(const char* name, const char* value);

// The download tests' server (see pattern_server.py for its paths): the
// path chooses a generated answer, mostly bytes of patternBytes.
class PatternServer {
 public:
  // With certificate and key: HTTPS.
  explicit PatternServer(const std::filesystem::path& certificate = {},
                         const std::filesystem::path& key = {});
  int port() const { return port_; }
  std::string url(const std::string& path) const;

 private:
  std::string scheme_;
  ChildProcess process_;
  int port_;
};

// The HTTP tests' server (see scripted_server.py): answers each path with
// raw bytes scripted beforehand and records every request it gets.
class ScriptedServer {
 public:
  // With certificate and key: HTTPS.
  explicit ScriptedServer(const std::filesystem::path& certificate = {},
                          const std::filesystem::path& key = {});
  int port() const { return port_; }
  std::string url(const std::string& path) const;
  // The raw bytes that answer requests for path; hang holds the connection
  // open afterwards. The scripts are files: under Windows, whose file names
  // ignore letter case, paths that differ only in case share one.
  void script(const std::string& path, const std::string& raw, bool hang = false) const;
  // Every request recorded so far, in arrival order, exactly as it arrived.
  std::vector<std::string> requests() const;

 private:
  TempDir dir_;
  std::string scheme_;
  ChildProcess process_;
  int port_;
};

// A raw HTTP/1.1 response with Content-Length and Connection: close, for
// ScriptedServer::script.
std::string response(const std::string& status, const std::string& headers, const std::string& body);

// nginx serving the files of root, with its configuration and logs in a
// scratch folder.
class NginxServer {
 public:
  explicit NginxServer(const std::filesystem::path& root);
  std::string url(const std::string& path) const;

 private:
  TempDir work_;
  ReservedPort port_;
  ChildProcess process_;
};

// tinyproxy on a port of its own; with a user and password it asks for them.
// Without tunnels it refuses every CONNECT.
class Tinyproxy {
 public:
  explicit Tinyproxy(const std::string& user = {}, const std::string& password = {},
                     bool allowTunnels = true);
  std::string address() const { return "127.0.0.1:" + std::to_string(port_.number()); }

 private:
  TempDir dir_;
  ReservedPort port_;
  ChildProcess process_;
};

// A certificate authority and a server certificate for 127.0.0.1 and
// localhost it signed, made with openssl. Clients trust authority(); servers
// present certificate() and key().
class TestAuthority {
 public:
  TestAuthority();
  std::filesystem::path authority() const { return dir_.path() / "ca.pem"; }
  std::filesystem::path certificate() const { return dir_.path() / "server.pem"; }
  std::filesystem::path key() const { return dir_.path() / "server.key"; }

 private:
  TempDir dir_;
};

// Whether HTTPS checks certificates against the system's authorities while
// no ScopedTrustedAuthorities is in force: not under Wine, whose Schannel then
// checks neither the chain nor the name (a PEM file it checks).
bool systemAuthoritiesChecked();

// size bytes of the pattern PatternServer sends: byte i is i % 251.
std::string patternBytes(std::size_t size, std::size_t from = 0);
// The path UTF-8 text names (Windows would read a plain string in its ANSI
// code page).
std::filesystem::path utf8Path(const std::string& name);
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& content);

}  // namespace pindlewick::testing
