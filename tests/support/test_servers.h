// Loopback servers and scratch folders for the download tests. Every server
// is a child process started on 127.0.0.1 and stopped when its owner goes.
#pragma once

#include <sys/types.h>

#include <filesystem>
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

// A child process with its standard output on a pipe; terminated and reaped
// on destruction.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // One line of its output, without the line break; "" at its end.
  std::string readLine();

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

// The scriptable fixture server (see pattern_server.py for its paths).
class FixtureServer {
 public:
  FixtureServer();
  // HTTPS with the given certificate and key.
  FixtureServer(const std::filesystem::path& certificate, const std::filesystem::path& key);
  int port() const { return port_; }
  // "http://127.0.0.1:port" + path (or https).
  std::string url(const std::string& path) const;

 private:
  explicit FixtureServer(const std::vector<std::string>& extraArguments, std::string scheme);
  ChildProcess process_;
  std::string scheme_;
  int port_;
};

// nginx serving the files of root, with its configuration and logs in a
// scratch folder.
class NginxServer {
 public:
  explicit NginxServer(const std::filesystem::path& root);
  std::string url(const std::string& path) const;

 private:
  TempDir work_;
  int port_;
  ChildProcess process_;
};

// A self-signed certificate for 127.0.0.1, made with openssl.
struct TestCertificate {
  explicit TestCertificate(const std::filesystem::path& folder);
  std::filesystem::path certificate;
  std::filesystem::path key;
};

// A port on 127.0.0.1 that nothing listens on (just now).
int unusedPort();

// size bytes of the pattern the fixture server sends: byte i is i % 251.
std::string patternBytes(std::size_t size, std::size_t from = 0);
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& content);

}  // namespace pindlewick::testing
