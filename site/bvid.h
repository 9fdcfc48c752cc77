// The two forms of a video's id: the av number and the 12-character BV text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pindlewick::site {

// av numbers run from 1 up to, not including, 2^51.
inline constexpr std::int64_t kAidLimit = std::int64_t{1} << 51;

// The BV text of an av number; nullopt outside 1 .. kAidLimit - 1.
std::optional<std::string> bvidOfAid(std::int64_t aid);

// The av number of a BV text; nullopt unless the text is exactly what
// bvidOfAid gives for some av number ("BV1" and nine characters of the
// alphabet, in the canonical encoding).
std::optional<std::int64_t> aidOfBvid(std::string_view bvid);

}  // namespace pindlewick::site
