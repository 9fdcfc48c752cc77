// The ASCII characters that Linux, Windows or FAT/exFAT cannot store in a file
// name, and the full-width forms that read the same.
#pragma once

#include <string_view>

namespace pindlewick {

// The full-width form (UTF-8) of a reserved character, or "" for any other.
std::string_view fullWidthOfReserved(char32_t codePoint);

}  // namespace pindlewick
