// Why the site gave no stream for a part, and the short Chinese text that
// tells the user.
#pragma once

#include <cstdint>
#include <string>

namespace pindlewick::site {

enum class Refusal {
  kNoAnswer,        // no HTTP answer at all
  kHttpStatus,      // an HTTP status other than 200 and 412; detail: the status
  kUnreadable,      // JSON we cannot read, or without a field we need
  kSiteCode,        // a code with no text of its own; detail: the code
  kBadRequest,      // -400
  kNoPermission,    // -403
  kNoSuchVideo,     // -404
  kNotLoggedIn,     // -401
  kTooFrequent,     // -799
  kNotVisible,      // 62002
  kUnderReview,     // 62004
  kUploaderOnly,    // 62012
  kRiskControl,     // -352, -412, HTTP 412 or a v_voucher: later requests would be refused too
  kDashOnly,        // separate audio and video streams only, no MP4
  kSeveralPieces,   // more than one durl entry; detail: how many
  kNoStream,        // neither durl nor dash
  kNoSignature,     // no signature keys, or no MD5 to sign with
  kNamesNoVideo,    // the address names no video
  kPastEnd,         // the part number is past the last part; detail: the number of parts
  kNoSuchPart,      // no pages[] entry for the part number, though not past the end
};

struct SiteFailure {
  Refusal refusal = Refusal::kUnreadable;
  std::int64_t detail = 0;
  bool operator==(const SiteFailure&) const = default;
};

// The failure's text in UTF-8, without closing punctuation, e.g. "视频不存在".
std::string reasonText(const SiteFailure& failure);

// Whether the failure ends the batch whatever step met it: the site refusing
// us, or nothing left to resolve.
bool endsBatch(const SiteFailure& failure);

}  // namespace pindlewick::site
