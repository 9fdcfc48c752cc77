// md5Digest on OpenSSL's libcrypto.
#include <openssl/evp.h>

#include "site/md5.h"

namespace pindlewick::site {

std::optional<Md5Digest> md5Digest(std::string_view bytes) {
  Md5Digest digest;
  unsigned int length = 0;
  // EVP_md5 is missing from a library restricted to FIPS algorithms.
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_md5(), nullptr) != 1 ||
      length != digest.size()) {
    return std::nullopt;
  }
  return digest;
}

}  // namespace pindlewick::site
