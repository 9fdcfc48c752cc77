#include "site/address.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <optional>

#include "site/bvid.h"

namespace pindlewick::site {
namespace {

constexpr std::array<std::string_view, 3> kSiteHosts = {"bilibili.com", "www.bilibili.com",
                                                        "m.bilibili.com"};
constexpr std::string_view kVideoPath = "/video/";

std::string lowerAscii(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && lowerAscii(text.substr(0, prefix.size())) == prefix;
}

std::string_view trimmed(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// "av" in either case and the decimal av number.
std::optional<std::string> bvidOfAvText(std::string_view text) {
  if (!startsWithIgnoringCase(text, "av")) return std::nullopt;
  const std::string_view digits = text.substr(2);
  std::int64_t aid = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), aid);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return bvidOfAid(aid);
}

std::optional<std::string> bvidOfId(std::string_view id) {
  if (aidOfBvid(id)) return std::string(id);
  return bvidOfAvText(id);
}

// The text after "http://" or "https://" in either case, or nullopt.
std::optional<std::string_view> afterWebScheme(std::string_view address) {
  for (const std::string_view scheme : {"http://", "https://"}) {
    if (startsWithIgnoringCase(address, scheme)) return address.substr(scheme.size());
  }
  return std::nullopt;
}

AddressReading readVideoPage(std::string_view path) {
  const std::string_view rest = path.substr(kVideoPath.size());
  const std::optional<std::string> bvid = bvidOfId(rest.substr(0, rest.find_first_of("/?#")));
  if (!bvid) return NamesNoVideo{};
  return NamesVideo{*bvid};
}

}  // namespace

AddressReading readAddress(std::string_view typed) {
  const std::string_view address = trimmed(typed);
  if (const std::optional<std::string> bvid = bvidOfId(address)) return NamesVideo{*bvid};
  const std::optional<std::string_view> afterScheme = afterWebScheme(address);
  if (!afterScheme) return NamesNoVideo{};
  const std::size_t authorityEnd = std::min(afterScheme->find_first_of("/?#"), afterScheme->size());
  const std::string host = lowerAscii(afterScheme->substr(0, authorityEnd));
  const std::string_view path = afterScheme->substr(authorityEnd);
  if (host.empty()) return NamesNoVideo{};
  const bool siteHost = std::find(kSiteHosts.begin(), kSiteHosts.end(), host) != kSiteHosts.end();
  if (siteHost && path.starts_with(kVideoPath)) return readVideoPage(path);
  return FollowAddress{std::string(address)};
}

std::string resolveLocation(std::string_view from, std::string_view location) {
  if (afterWebScheme(location)) return std::string(location);
  const std::size_t schemeEnd = from.find("://");
  if (schemeEnd == std::string_view::npos) return std::string(location);
  if (location.starts_with("//")) return std::string(from.substr(0, schemeEnd + 1)) + std::string(location);
  const std::size_t pathStart = std::min(from.find_first_of("/?#", schemeEnd + 3), from.size());
  if (location.starts_with("/")) return std::string(from.substr(0, pathStart)) + std::string(location);
  // Relative to the folder of the path, which ends before the query.
  const std::string_view path = from.substr(0, std::min(from.find_first_of("?#", pathStart), from.size()));
  const std::size_t folderEnd = path.find_last_of('/');
  const std::string folder =
      folderEnd == std::string_view::npos || folderEnd < pathStart ? std::string(path) + "/"
                                                                   : std::string(path.substr(0, folderEnd + 1));
  return folder + std::string(location);
}

}  // namespace pindlewick::site
