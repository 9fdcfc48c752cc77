#include "http/trusted_authorities.h"

#include <mutex>
#include <utility>

namespace pindlewick {
namespace {

std::mutex guard;
std::string current;

std::string exchange(std::string next) {
  const std::scoped_lock lock(guard);
  return std::exchange(current, std::move(next));
}

}  // namespace

ScopedTrustedAuthorities::ScopedTrustedAuthorities(std::string pemFile)
    : previous_(exchange(std::move(pemFile))) {}

ScopedTrustedAuthorities::~ScopedTrustedAuthorities() { exchange(std::move(previous_)); }

std::string trustedAuthoritiesFile() {
  const std::scoped_lock lock(guard);
  return current;
}

}  // namespace pindlewick
