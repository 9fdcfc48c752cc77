// md5Digest on Windows' own crypto API (CNG).
#include <windows.h>
// after windows.h, which it needs
#include <bcrypt.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <type_traits>

#include "site/md5.h"

namespace pindlewick::site {
namespace {

struct ProviderCloser {
  void operator()(BCRYPT_ALG_HANDLE provider) const { ::BCryptCloseAlgorithmProvider(provider, 0); }
};
struct HashDestroyer {
  void operator()(BCRYPT_HASH_HANDLE hash) const { ::BCryptDestroyHash(hash); }
};
using Provider = std::unique_ptr<std::remove_pointer_t<BCRYPT_ALG_HANDLE>, ProviderCloser>;
using Hash = std::unique_ptr<std::remove_pointer_t<BCRYPT_HASH_HANDLE>, HashDestroyer>;

Provider openMd5Provider() {
  BCRYPT_ALG_HANDLE provider = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&provider, BCRYPT_MD5_ALGORITHM, nullptr, 0))) return nullptr;
  return Provider(provider);
}

// The hash object lives in memory CNG allocates itself (no buffer given).
Hash createHash(BCRYPT_ALG_HANDLE provider) {
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0))) return nullptr;
  return Hash(hash);
}

// CNG takes at most a ULONG of bytes per call.
bool hashData(BCRYPT_HASH_HANDLE hash, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto chunk = static_cast<ULONG>(std::min<std::size_t>(bytes.size(), std::numeric_limits<ULONG>::max()));
    auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));  // CNG only reads it
    if (!BCRYPT_SUCCESS(::BCryptHashData(hash, data, chunk, 0))) return false;
    bytes.remove_prefix(chunk);
  }
  return true;
}

}  // namespace

std::optional<Md5Digest> md5Digest(std::string_view bytes) {
  const Provider provider = openMd5Provider();
  if (!provider) return std::nullopt;
  const Hash hash = createHash(provider.get());
  Md5Digest digest;
  if (!hash || !hashData(hash.get(), bytes) ||
      !BCRYPT_SUCCESS(::BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0))) {
    return std::nullopt;
  }
  return digest;
}

}  // namespace pindlewick::site
