#include "app/site_part_resolver.h"

#include "site/site_http.h"
#include "text/codepage.h"
#include "text/phrases.h"

namespace pindlewick {
namespace {

bool isPassing(const site::SiteFailure& failure) {
  if (failure.refusal == site::Refusal::noAnswer) return true;
  return failure.refusal == site::Refusal::httpStatus && (failure.detail >= 500 || failure.detail == 429);
}

// A failure that ends the batch says only why; a part's failure names the part.
Text statusLineOf(const site::PartFailure& failure, int part) {
  const Text reason = utf8ToGbk(failure.reason);
  if (failure.stopsBatch) return concatText({reason, phrase(Phrase::fullStop)});
  return concatText({intToText(part), phrase(Phrase::parseFailedBecause), reason, phrase(Phrase::fullStop)});
}

// The site's links are ASCII once percent-encoded, the same in code page 936.
Text linkText(const std::string& url) { return Text(site::asciiUrl(url)); }

PartLinks linksOf(const site::ResolvedPart& part) {
  PartLinks links{linkText(part.link), {}, part.fileName, false, part.cdnHeaders};
  for (const std::string& backup : part.backupLinks) links.backupLinks.push_back(linkText(backup));
  return links;
}

}  // namespace

SitePartResolver::SitePartResolver(std::string apiBase)
    : resolver_(site::SiteSettings{.apiBase = std::move(apiBase), .timeoutSeconds = 0}) {}

PartResolution SitePartResolver::resolve(const std::string& address, int part) {
  const site::PartResolution resolution = resolver_.resolvePart(address, part);
  partCount_ = resolution.partCount;
  reachedAPart_ = reachedAPart_ || (part >= 1 && part <= partCount_);
  if (const auto* failure = std::get_if<site::PartFailure>(&resolution.outcome)) {
    return PartRefusal{statusLineOf(*failure, part), failure->stopsBatch, isPassing(failure->cause)};
  }
  return linksOf(std::get<site::ResolvedPart>(resolution.outcome));
}

bool SitePartResolver::pastLastPart(int part) const {
  return reachedAPart_ && part > partCount_;
}

}  // namespace pindlewick
