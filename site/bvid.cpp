#include "site/bvid.h"

#include <utility>

namespace pindlewick::site {
namespace {

constexpr std::int64_t kXorCode = 23442827791579;
constexpr std::int64_t kMaskCode = kAidLimit - 1;
constexpr std::string_view kAlphabet = "FcwAPNKTMug3GV5Lj7EJnHpWsx4tb8haYeviqBz6rkCy12mUSDQX9RdoZf";
constexpr std::string_view kPrefix = "BV1";
constexpr std::size_t kLength = 12;

// The encoding scrambles the digit order with these two swaps; each undoes itself.
void swapPositions(std::string& bvid) {
  std::swap(bvid[3], bvid[9]);
  std::swap(bvid[4], bvid[7]);
}

}  // namespace

std::optional<std::string> bvidOfAid(std::int64_t aid) {
  if (aid < 1 || aid >= kAidLimit) return std::nullopt;
  std::string bvid = "BV1000000000";
  auto t = static_cast<std::uint64_t>((kAidLimit | aid) ^ kXorCode);
  for (std::size_t i = kLength - 1; i >= kPrefix.size(); --i) {
    bvid[i] = kAlphabet[t % kAlphabet.size()];
    t /= kAlphabet.size();
  }
  swapPositions(bvid);
  return bvid;
}

std::optional<std::int64_t> aidOfBvid(std::string_view text) {
  if (text.size() != kLength || !text.starts_with(kPrefix)) return std::nullopt;
  std::string bvid(text);
  swapPositions(bvid);
  std::uint64_t t = 0;
  for (std::size_t i = kPrefix.size(); i < kLength; ++i) {
    const std::size_t digit = kAlphabet.find(bvid[i]);
    if (digit == std::string_view::npos) return std::nullopt;
    t = t * kAlphabet.size() + digit;
  }
  const std::int64_t aid = static_cast<std::int64_t>(t & kMaskCode) ^ kXorCode;
  // Nine digits hold more than 2^52 values; only those bvidOfAid makes name a video.
  if (bvidOfAid(aid) != text) return std::nullopt;
  return aid;
}

}  // namespace pindlewick::site
