// pindlewick-live-check [--site BASE] URL [PART]
//
// Resolves one part against the real site with the built-in resolver and
// prints what it chose: the file name, the quality, the size and the link's
// host. For a machine with internet (scripts/live-check.sh); no test runs it.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <variant>

#include "site/site_resolver.h"

namespace {

std::string hostOf(const std::string& url) {
  const std::size_t start = url.find("://");
  if (start == std::string::npos) return url;
  const std::size_t end = url.find_first_of("/?#", start + 3);
  return url.substr(start + 3, end == std::string::npos ? std::string::npos : end - start - 3);
}

}  // namespace

int main(int argc, char* argv[]) {
  pindlewick::site::SiteSettings settings;
  // --site points it at a mirror, or at the tests' fixture site.
  if (argc > 2 && std::string(argv[1]) == "--site") {
    settings.apiBase = argv[2];
    argc -= 2;
    argv += 2;
  }
  if (argc < 2 || argc > 3) {
    std::fputs("usage: pindlewick-live-check [--site BASE] URL [PART]\n", stderr);
    return 2;
  }
  const int part = argc == 3 ? std::atoi(argv[2]) : 1;
  pindlewick::site::SiteResolver resolver(settings);
  const pindlewick::site::PartResolution resolution = resolver.resolvePart(argv[1], part);
  if (const auto* failure = std::get_if<pindlewick::site::PartFailure>(&resolution.outcome)) {
    std::printf("part %d: refused: %s%s\n", part, failure->reason.c_str(),
                failure->stopsBatch ? " (the batch would end)" : "");
    return 1;
  }
  const auto& resolved = std::get<pindlewick::site::ResolvedPart>(resolution.outcome);
  std::printf("part %d of %d: %s\n", part, resolution.partCount, resolved.fileName.c_str());
  std::printf("quality %d, %lld bytes, host %s, %zu backup link(s)\n", resolved.quality,
              static_cast<long long>(resolved.size), hostOf(resolved.link).c_str(),
              resolved.backupLinks.size());
  return 0;
}
