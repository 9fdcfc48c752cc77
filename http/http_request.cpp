#include "http/http_request.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <new>
#include <string>

#include "http/charset.h"
#include "http/cookies.h"
#include "http/curl_easy.h"
#include "http/curl_transfer.h"
#include "http/regex_matcher.h"
#include "text/codepage.h"
#include "text/events.h"
#include "text/phrases.h"

namespace pindlewick {
namespace {

enum class Failure {
  platform = 700,
  url = 701,
  session = 702,
  connection = 703,
  request = 704,
  timeouts = 705,
  credentials = 707,
  cookieOption = 708,
  headers = 710,
  send = 711,
  noResponse = 712,
  read = 713,
};

TextView messageOf(Failure failure) {
  switch (failure) {
    case Failure::platform: return phrase(Phrase::requestPlatform);
    case Failure::url: return phrase(Phrase::requestUrl);
    case Failure::session: return phrase(Phrase::requestSession);
    case Failure::connection: return phrase(Phrase::requestConnection);
    case Failure::request: return phrase(Phrase::requestRequest);
    case Failure::timeouts: return phrase(Phrase::requestTimeouts);
    case Failure::credentials: return phrase(Phrase::requestCredentials);
    case Failure::cookieOption: return phrase(Phrase::requestCookieOption);
    case Failure::headers: return phrase(Phrase::requestHeaders);
    case Failure::send: return phrase(Phrase::requestSend);
    case Failure::noResponse: return phrase(Phrase::requestNoResponse);
    case Failure::read: return phrase(Phrase::requestRead);
  }
  return {};
}

constexpr int kMaxRedirects = 10;
// Larger reads keep the socket work per byte of a big page low.
constexpr long kReceiveBufferSize = 512 * 1024;
constexpr int kDefaultTimeoutSeconds = 30;
// A Content-Length beyond this is not trusted for reserving memory up front.
constexpr curl_off_t kLargestReservation = curl_off_t{1} << 30;

struct DefaultHeader {
  TextView probe;
  bool ignoreCase;
  TextView line;
};

constexpr DefaultHeader kDefaultHeaders[] = {
    {"User-Agent: ", true,
     "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"},
    {"Accept: ", true, "Accept: text/html, application/xhtml+xml, */*\r\n"},
    {"Accept-Encoding: ", true, "Accept-Encoding: gbk, GB2312\r\n"},
    {"Accept-Language: ", true, "Accept-Language: zh-cn\r\n"},
    {"Content-Type:", false, "Content-Type: application/x-www-form-urlencoded\r\n"},
    {"Cache-Control: ", true, "Cache-Control: no-cache\r\n"},
};

// Headers libcurl would send of its own accord that this client never sends
// unless the caller's text names them.
constexpr TextView kSuppressedHeaders[] = {"Accept", "Content-Type", "Expect"};

// --- the target -------------------------------------------------------------

struct Target {
  std::string url;     // what libcurl is given
  std::string scheme;  // "http" or "https"
  std::string origin;  // scheme, host and port
  bool secure() const { return scheme == "https"; }
};

// Whether the URL has a path: a "/" ends its authority, not "?" or "#".
bool hasPath(const std::string& url) {
  const std::size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos) return false;
  const std::size_t authorityEnd = url.find_first_of("/?#", schemeEnd + 3);
  return authorityEnd != std::string::npos && url[authorityEnd] == '/';
}

// Parses an absolute http or https URL. User name and password in the URL
// play no role; without a path the request goes to "/" and the query is
// dropped; the fragment is never sent.
std::optional<Target> parseTarget(const std::string& url) {
  const curl::Url parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
    return std::nullopt;
  }
  const std::string scheme = curl::urlPart(parsed, CURLUPART_SCHEME).value_or("");
  if (scheme != "http" && scheme != "https") return std::nullopt;
  curl_url_set(parsed.get(), CURLUPART_USER, nullptr, 0);
  curl_url_set(parsed.get(), CURLUPART_PASSWORD, nullptr, 0);
  curl_url_set(parsed.get(), CURLUPART_OPTIONS, nullptr, 0);
  curl_url_set(parsed.get(), CURLUPART_FRAGMENT, nullptr, 0);
  if (!hasPath(url)) curl_url_set(parsed.get(), CURLUPART_QUERY, nullptr, 0);
  const auto full = curl::urlPart(parsed, CURLUPART_URL);
  const auto host = curl::urlPart(parsed, CURLUPART_HOST);
  const auto port = curl::urlPart(parsed, CURLUPART_PORT, CURLU_DEFAULT_PORT);
  if (!full || !host || !port) return std::nullopt;
  return Target{*full, scheme, scheme + "://" + *host + ":" + *port};
}

// --- one response -------------------------------------------------------------


// What the callbacks collect of the response to one request.
struct Response {
  explicit Response(std::chrono::milliseconds idleLimit) : stallWatch(idleLimit) {}

  CURL* handle = nullptr;
  curl::HeadReader head;
  Bytes body;
  std::size_t bodyLimit = SIZE_MAX;
  bool overLimit = false;
  curl::StallWatch stallWatch;

  void reset() {
    head.clear();
    body.clear();
    overLimit = false;
    stallWatch.restart();
  }
};

std::size_t onHeaderLine(char* data, std::size_t size, std::size_t count, void* context) noexcept {
  auto& response = *static_cast<Response*>(context);
  const std::size_t length = size * count;
  try {
    response.head.feed(response.handle, std::string_view(data, length));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return length;
}

// Reserves room for an announced body; false when the announcement is
// already past the limit.
bool reserveForBody(Response& response) {
  curl_off_t announced = -1;
  curl_easy_getinfo(response.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  if (announced > 0 && static_cast<std::uint64_t>(announced) > response.bodyLimit) return false;
  if (announced > 0 && announced <= kLargestReservation) {
    response.body.reserve(static_cast<std::size_t>(announced));
  }
  return true;
}

std::size_t onBodyData(char* data, std::size_t size, std::size_t count, void* context) noexcept {
  auto& response = *static_cast<Response*>(context);
  const std::size_t length = size * count;
  const bool fits = length <= response.bodyLimit - response.body.size();
  if (!fits || (response.body.capacity() == 0 && !reserveForBody(response))) {
    response.overLimit = true;
    return 0;
  }
  try {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);  // same type: one block copy
    response.body.insert(response.body.end(), bytes, bytes + length);
  } catch (const std::bad_alloc&) {
    return 0;  // ends the transfer; what arrived so far is kept
  }
  return length;
}

// --- setting up the handle ---------------------------------------------------

using curl::allSet;

bool setSessionOptions(CURL* handle, Response& response) {
  return allSet(
             // Redirects are followed here, hop by hop, to apply the proxy and
             // downgrade rules to each one.
             curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L),
             // Proxy variables of the environment must not reach these requests.
             curl_easy_setopt(handle, CURLOPT_PROXY, ""), curl_easy_setopt(handle, CURLOPT_NOPROXY, "")) &&
         curl::setSharedOptions(handle, kReceiveBufferSize, {onHeaderLine, onBodyData, &response},
                                response.stallWatch);
}

// One request of the exchange: the first, or one that follows a redirect.
struct Hop {
  Target target;
  int method = kMethodGet;
  bool sendsBody = true;
};

const char* verbOf(int method) {
  switch (method) {
    case kMethodPost: return "POST";
    case kMethodHead: return "HEAD";
    case kMethodPut: return "PUT";
    default: return "GET";
  }
}

int knownMethod(int method) {
  return method == kMethodPost || method == kMethodHead || method == kMethodPut ? method : kMethodGet;
}

bool setTarget(CURL* handle, const HttpRequestArgs& args, const Target& first, const Target& hop) {
  // A plain-HTTP request uses the proxy for plain HTTP only; a secure one for
  // every scheme it is sent on to.
  const bool proxied = !args.proxyAddress.empty() && (first.secure() || !hop.secure());
  const std::string proxy = proxied ? args.proxyAddress.bytes() : std::string();
  return allSet(curl_easy_setopt(handle, CURLOPT_URL, hop.url.c_str()),
                curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str()));
}

bool setMethod(CURL* handle, const HttpRequestArgs& args, const Hop& hop) {
  if (hop.method == kMethodHead) {
    return allSet(curl_easy_setopt(handle, CURLOPT_NOBODY, 1L),
                  curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, nullptr));
  }
  const bool withBody = hop.sendsBody && (!args.postText.empty() || hop.method != kMethodGet);
  if (!withBody) {
    return allSet(curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L),
                  curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, nullptr));
  }
  return allSet(curl_easy_setopt(handle, CURLOPT_POSTFIELDS, args.postText.data()),
                curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                                 static_cast<curl_off_t>(args.postText.size())),
                curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, verbOf(hop.method)));
}

// One value for every phase: connecting (name lookup included) may take
// that long, and the transfer ends when no byte moves for that long.
std::chrono::seconds timeoutOf(int timeoutSeconds) {
  return std::chrono::seconds(timeoutSeconds > 0 ? timeoutSeconds : kDefaultTimeoutSeconds);
}

bool setTimeouts(CURL* handle, int timeoutSeconds) {
  const long milliseconds = std::chrono::milliseconds(timeoutOf(timeoutSeconds)).count();
  return curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, milliseconds) == CURLE_OK;
}

bool bothGiven(const Text& name, const Text& secret) { return !name.empty() && !secret.empty(); }

// Server credentials go only to the origin the caller named.
bool setServerCredentials(CURL* handle, const HttpRequestArgs& args, const Target& first,
                          const Target& hop) {
  const bool send = bothGiven(args.user, args.password) && hop.origin == first.origin;
  return allSet(curl_easy_setopt(handle, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC)),
                curl_easy_setopt(handle, CURLOPT_USERNAME, send ? args.user.c_str() : nullptr),
                curl_easy_setopt(handle, CURLOPT_PASSWORD, send ? args.password.c_str() : nullptr));
}

bool setProxyCredentials(CURL* handle, const HttpRequestArgs& args) {
  if (!bothGiven(args.proxyUser, args.proxyPassword)) return true;
  return allSet(curl_easy_setopt(handle, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC)),
                curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, args.proxyUser.c_str()),
                curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, args.proxyPassword.c_str()));
}

// With cookies given, cookies set along a redirect chain go back to the
// server on the later requests; otherwise no cookie engine runs at all.
bool setCookieHandling(CURL* handle, const HttpRequestArgs& args) {
  return !args.submittedCookies || curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "") == CURLE_OK;
}

bool namesHeader(TextView headerText, TextView name) {
  for (const Text& line : splitText(headerText, "\r\n")) {
    const int colon = findText(line, ":", {}, false);
    if (colon != -1 && compareText(trimSpaces(textLeft(line, colon - 1)), name, false) == 0) return true;
  }
  return false;
}

curl::HeaderList headerListOf(TextView headerText) {
  curl::HeaderList list;
  for (const Text& line : splitText(headerText, "\r\n")) {
    if (!line.empty()) curl::appendHeader(list, line.c_str());
  }
  for (TextView name : kSuppressedHeaders) {
    // "Name:" with nothing behind it tells libcurl not to send its own.
    if (!namesHeader(headerText, name)) curl::appendHeader(list, (Text(name) + ":").c_str());
  }
  return list;
}

bool configureHop(CURL* handle, const HttpRequestArgs& args, const Target& first, const Hop& hop) {
  return setTarget(handle, args, first, hop.target) && setMethod(handle, args, hop) &&
         setServerCredentials(handle, args, first, hop.target);
}

// --- the exchange ---------------------------------------------------------------

struct Outcome {
  std::optional<Failure> failure;  // ends the call; read keeps what arrived
  bool passing = false;            // the failure may pass if tried again
};

Failure failureOf(CURL* handle, CURLcode code, const Response& response, int redirects) {
  if (response.head.complete()) return Failure::read;
  // Later requests of a redirect chain belong to the wait for the response.
  if (redirects > 0) return Failure::noResponse;
  curl_off_t sendingStarted = 0;
  curl_easy_getinfo(handle, CURLINFO_PRETRANSFER_TIME_T, &sendingStarted);
  if (sendingStarted == 0 || code == CURLE_SEND_ERROR) return Failure::send;
  return Failure::noResponse;
}

// 303 turns every method but HEAD into a bodiless GET, 301 and 302 only POST;
// 307 and 308 keep method and body.
bool becomesGet(long status, int method) {
  if (status == 303) return method != kMethodHead;
  return (status == 301 || status == 302) && method == kMethodPost;
}

// What follows a response: nothing, the next hop, or a failed redirect.
struct NextHop {
  std::optional<Hop> hop;
  bool failed = false;
};

NextHop nextHop(CURL* handle, const Hop& current) {
  const long status = curl::responseStatus(handle);
  char* location = nullptr;
  curl_easy_getinfo(handle, CURLINFO_REDIRECT_URL, &location);
  if (!isRedirectStatus(status) || !location) return {};
  const std::optional<Target> target = parseTarget(location);
  if (!target) return {std::nullopt, true};
  // Never from a secure page down to plain HTTP: the redirect response stays.
  if (current.target.secure() && !target->secure()) return {};
  if (becomesGet(status, current.method)) return {Hop{*target, kMethodGet, false}, false};
  return {Hop{*target, current.method, current.sendsBody}, false};
}

Outcome exchange(CURL* handle, const HttpRequestArgs& args, Response& response, Hop hop) {
  const Target first = hop.target;
  for (int redirects = 0;; ++redirects) {
    if (redirects > 0 && !configureHop(handle, args, first, hop)) return {Failure::noResponse};
    response.reset();
    const CURLcode code = curl_easy_perform(handle);
    if (code != CURLE_OK) {
      return {failureOf(handle, code, response, redirects), curl::isPassingFailure(code, 0)};
    }
    if (args.disableRedirects) return {};
    const NextHop next = nextHop(handle, hop);
    if (next.failed || (next.hop && redirects == kMaxRedirects)) return {Failure::noResponse};
    if (!next.hop) return {};
    hop = *next.hop;
  }
}

// --- the call -------------------------------------------------------------------

// The status line from its tenth byte up to its CR LF.
Text statusOf(TextView headers) {
  const int lineEnd = findText(headers, "\r\n", 10, false);
  if (textLength(headers) < 10 || lineEnd == -1) return {};
  return textMid(headers, 10, lineEnd - 10);
}

Text failWith(HttpRequestArgs& args, Failure failure) {
  args.statusText = Text(messageOf(failure));
  if (failure != Failure::platform && failure != Failure::credentials &&
      failure != Failure::cookieOption) {
    processPendingEvents();
  }
  return {};
}

// Passes one stage and lets the caller's event loop breathe.
bool passed(bool stage) {
  if (stage) processPendingEvents();
  return stage;
}

Text readResponse(HttpRequestArgs& args, Response& response, RegexMatcher& matcher) {
  args.returnedHeaders = Text(response.head.raw());
  args.statusText = statusOf(args.returnedHeaders);
  args.statusCode = curl::responseStatus(response.handle);
  scanResponseHeaders(args.returnedHeaders, args.returnedCookies, args.redirectLocation);
  if (args.autoMergeCookies.value_or(true) && args.submittedCookies) {
    args.returnedCookies = mergeCookies(*args.submittedCookies, args.returnedCookies);
  }
  args.responseBytes = std::move(response.body);
  return decodeDeclaredCharset(matcher, bytesToText(args.responseBytes), args.responseBytes);
}

}  // namespace

bool isRedirectStatus(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

Text requestHeaderText(TextView extraHeaders, const std::optional<Text>& cookies) {
  Text headers = extraHeaders.empty() ? Text() : Text(extraHeaders) + "\r\n";
  for (const DefaultHeader& header : kDefaultHeaders) {
    if (findText(headers, header.probe, {}, header.ignoreCase) == -1) headers += header.line;
  }
  if (cookies && !cookies->empty() && findText(headers, "Cookie: ", {}, true) == -1) {
    headers += "Cookie: " + *cookies + "\r\n";
  }
  return headers;
}

Text httpRequest(HttpRequestArgs& args) {
  RegexMatcher matcher;
  if (!curl::initialiseLibrary()) return failWith(args, Failure::platform);
  const std::optional<Target> target = parseTarget(gbkToUtf8(args.url));
  if (!passed(target.has_value())) return failWith(args, Failure::url);

  Response response(timeoutOf(args.timeoutSeconds));
  const curl::Easy easy = curl::openEasy();
  CURL* handle = easy.get();
  response.handle = handle;
  if (!passed(handle && setSessionOptions(handle, response))) return failWith(args, Failure::session);
  const Hop first{*target, knownMethod(args.method), true};
  if (!passed(setTarget(handle, args, *target, *target))) return failWith(args, Failure::connection);
  if (!passed(setMethod(handle, args, first))) return failWith(args, Failure::request);
  if (!passed(setTimeouts(handle, args.timeoutSeconds))) return failWith(args, Failure::timeouts);
  if (!setServerCredentials(handle, args, *target, *target) || !setProxyCredentials(handle, args)) {
    return failWith(args, Failure::credentials);
  }
  if (!setCookieHandling(handle, args)) return failWith(args, Failure::cookieOption);
  const curl::HeaderList headers = headerListOf(requestHeaderText(args.extraHeaders, args.submittedCookies));
  if (!passed(curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK)) {
    return failWith(args, Failure::headers);
  }

  response.bodyLimit = args.bodyLimit.value_or(SIZE_MAX);
  const Outcome outcome = exchange(handle, args, response, first);
  if (response.overLimit) return failWith(args, Failure::read);
  args.failedInPassing = outcome.failure.has_value() && outcome.passing;
  if (outcome.failure && *outcome.failure != Failure::read) return failWith(args, *outcome.failure);
  passed(true);  // sent, answered and read
  return readResponse(args, response, matcher);
}

}  // namespace pindlewick
