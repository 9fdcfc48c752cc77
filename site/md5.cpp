#include "site/md5.h"

namespace pindlewick::site {

std::string md5Hex(std::string_view bytes) {
  const std::optional<Md5Digest> digest = md5Digest(bytes);
  if (!digest) return {};
  constexpr char kHexDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * digest->size());
  for (unsigned char byte : *digest) {
    hex += kHexDigits[byte >> 4];
    hex += kHexDigits[byte & 0x0F];
  }
  return hex;
}

}  // namespace pindlewick::site
