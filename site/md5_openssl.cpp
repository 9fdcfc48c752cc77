// md5Hex on OpenSSL's libcrypto.
#include <openssl/evp.h>

#include "site/md5.h"

namespace pindlewick::site {

std::string md5Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  // EVP_md5 is missing from a library restricted to FIPS algorithms.
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1) return {};
  constexpr char kHexDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHexDigits[digest[i] >> 4];
    hex += kHexDigits[digest[i] & 0x0F];
  }
  return hex;
}

}  // namespace pindlewick::site
