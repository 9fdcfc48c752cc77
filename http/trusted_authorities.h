// A seam for tests only: HTTPS requests and downloads started while an
// instance lives trust the certificate authorities of one PEM file instead of
// the system's.
#pragma once

#include <string>

namespace pindlewick {

class ScopedTrustedAuthorities {
 public:
  explicit ScopedTrustedAuthorities(std::string pemFile);
  ~ScopedTrustedAuthorities();
  ScopedTrustedAuthorities(const ScopedTrustedAuthorities&) = delete;
  ScopedTrustedAuthorities& operator=(const ScopedTrustedAuthorities&) = delete;

 private:
  std::string previous_;
};

// The PEM file in force, "" for the system's authorities.
std::string trustedAuthoritiesFile();

}  // namespace pindlewick
