// Why the site gave no stream for a part, and the short Chinese text that
// tells the user.
#pragma once

#include <cstdint>
#include <string>

namespace pindlewick::site {

enum class Refusal {
  noAnswer,        // no HTTP answer at all
  httpStatus,      // an HTTP status other than 200 and 412; detail: the status
  unreadable,      // JSON we cannot read, or without a field we need
  siteCode,        // a code with no text of its own; detail: the code
  badRequest,      // -400
  noPermission,    // -403
  noSuchVideo,     // -404
  notLoggedIn,     // -401
  tooFrequent,     // -799
  notVisible,      // 62002
  underReview,     // 62004
  uploaderOnly,    // 62012
  riskControl,     // -352, -412, HTTP 412 or a v_voucher: later requests would be refused too
  dashOnly,        // separate audio and video streams only, no MP4
  severalPieces,   // more than one durl entry; detail: how many
  noStream,        // neither durl nor dash
  noSignature,     // no signature keys, or no MD5 to sign with
  namesNoVideo,    // the address names no video
  pastEnd,         // the part number is past the last part; detail: the number of parts
  noSuchPart,      // no pages[] entry for the part number, though not past the end
};

struct SiteFailure {
  Refusal refusal = Refusal::unreadable;
  std::int64_t detail = 0;
  bool operator==(const SiteFailure&) const = default;
};

// The failure's text in UTF-8, without closing punctuation, e.g. "视频不存在".
std::string reasonText(const SiteFailure& failure);

// Whether the failure ends the batch whatever step met it: the site refusing
// us, or nothing left to resolve.
bool endsBatch(const SiteFailure& failure);

}  // namespace pindlewick::site
