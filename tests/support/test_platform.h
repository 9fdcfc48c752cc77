// What test_servers.cpp needs beyond test_servers.h that differs between
// Linux (test_platform_posix.cpp) and a Windows test program under Wine
// (test_platform_wine.cpp).
#pragma once

#include <string>
#include <vector>

namespace pindlewick::testing {

// Whether something accepts connections on the port of 127.0.0.1.
bool acceptsConnections(int port);

// The host of the servers' HTTPS URLs: 127.0.0.1 where the TLS library
// matches addresses in certificates, else localhost (Schannel).
std::string secureHost();

// openssl req's options for the key of TestAuthority's authority.
std::vector<std::string> authorityKeyOptions();

}  // namespace pindlewick::testing
