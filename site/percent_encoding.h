// Percent-encoding of bytes, with upper-case hex digits.
#pragma once

#include <string>
#include <string_view>

namespace pindlewick::site {

// Every byte for which keep is false becomes %XX.
std::string percentEncoded(std::string_view bytes, bool (*keep)(unsigned char byte));

}  // namespace pindlewick::site
