// The MD5 digest the request signature needs. The digest comes from the
// platform, one file each: md5_openssl.cpp (libcrypto), md5_win32.cpp
// (Windows' own crypto API); md5.cpp spells it in hex.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace pindlewick::site {

using Md5Digest = std::array<unsigned char, 16>;

// The MD5 of bytes, or nullopt when the platform offers no MD5.
std::optional<Md5Digest> md5Digest(std::string_view bytes);

// The lower-case hex MD5 of bytes (32 characters), or "" when the platform
// offers no MD5.
std::string md5Hex(std::string_view bytes);

}  // namespace pindlewick::site
