// One complete, blocking HTTP or HTTPS exchange.
//
// Failures are values: the result is "" and statusText holds a numbered
// message (700 to 713). HTTP error statuses are not failures.
#pragma once

#include <optional>

#include "text/text.h"

namespace pindlewick {

inline constexpr int kMethodGet = 0;
inline constexpr int kMethodPost = 1;
inline constexpr int kMethodHead = 2;
inline constexpr int kMethodPut = 3;

// The arguments of httpRequest, in their fixed order. The request writes the
// fields marked out and in/out.
struct HttpRequestArgs {
  Text url;
  int method = kMethodGet;  // any other value is GET
  Text postText;
  // in/out. Given (even as ""): cookie handling is on for the request and
  // the merged cookies come back here. The text goes out as a Cookie line.
  std::optional<Text> submittedCookies;
  Text returnedCookies;  // in/out: the response's cookies are appended
  Text extraHeaders;     // lines separated by CR LF, no final CR LF
  Text returnedHeaders;  // out: the last response's raw header block
  bool disableRedirects = false;
  Text user;
  Text password;
  Text proxyAddress;  // "" for no proxy
  Text proxyUser;
  Text proxyPassword;
  int timeoutSeconds = 0;  // 0 or less: 30 seconds
  Text redirectLocation;   // out: the "Location: " value, when there is one
  Text statusText;         // out: "200 OK", or the failure message
  long statusCode = 0;     // out: the last response's status, 0 when none came
  Bytes responseBytes;     // out: the body exactly as received
  std::optional<bool> autoMergeCookies;  // not given: true
  // The longest body kept. A longer one ends the transfer as soon as it is
  // announced or arrives, and fails with 713 keeping nothing, so an endless
  // answer cannot exhaust memory. Not given: no limit.
  std::optional<std::size_t> bodyLimit;
  // out: the exchange failed for a passing reason (refused, reset, timed
  // out, stalled, cut short): trying again may succeed.
  bool failedInPassing = false;
};

// Performs the request and returns the body as text: the bytes before the
// first zero byte, decoded when the page declares a charset other than GBK.
Text httpRequest(HttpRequestArgs& args);

// The statuses that name another place to go.
bool isRedirectStatus(long status);

// The request header text: extraHeaders followed by each default line whose
// probe it lacks (User-Agent, Accept, Accept-Encoding, Accept-Language,
// Content-Type, Cache-Control, and Cookie when cookies is a non-empty text).
Text requestHeaderText(TextView extraHeaders, const std::optional<Text>& cookies);

}  // namespace pindlewick
