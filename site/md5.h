// The MD5 digest the request signature needs. One function, so that another
// platform can supply its own file in place of md5_openssl.cpp.
#pragma once

#include <string>
#include <string_view>

namespace pindlewick::site {

// The lower-case hex MD5 of bytes (32 characters), or "" when the platform
// offers no MD5.
std::string md5Hex(std::string_view bytes);

}  // namespace pindlewick::site
