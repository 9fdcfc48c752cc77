// What an address the user typed says about the video it names, before any
// request: a video id, an http(s) address whose redirects must be followed
// (short links and every other web address), or nothing at all.
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace pindlewick::site {

// The address names this video (as its BV text; av numbers are converted).
struct NamesVideo {
  std::string bvid;
  bool operator==(const NamesVideo&) const = default;
};

// An http(s) address that is not a video page: request it without following
// redirects and read the address its Location names.
struct FollowAddress {
  std::string url;
  bool operator==(const FollowAddress&) const = default;
};

struct NamesNoVideo {
  bool operator==(const NamesNoVideo&) const = default;
};

using AddressReading = std::variant<NamesVideo, FollowAddress, NamesNoVideo>;

// Reads one address: a bare id ("BV1…", "av…"), a video page of the site
// (http or https; bilibili.com, www. or m.; a trailing "/", a query or a
// fragment change nothing, "p" included), or any other http(s) address to
// follow. Blanks around the address do not count.
AddressReading readAddress(std::string_view address);

// The absolute address a Location value names, relative to the address that
// answered with it.
std::string resolveLocation(std::string_view from, std::string_view location);

}  // namespace pindlewick::site
