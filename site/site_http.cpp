#include "site/site_http.h"

#include "http/http_request.h"
#include "site/address.h"
#include "site/percent_encoding.h"

namespace pindlewick::site {
namespace {

// An API answer is a few kilobytes; the view of a video with many parts a
// few hundred.
constexpr std::size_t kAnswerLimit = 16 * 1024 * 1024;

// What httpRequest would send on its own (an old browser, GBK and no
// compression it could undo) replaced by what a browser on the site sends.
std::string apiHeaders() {
  return "User-Agent: " + std::string(kBrowserUserAgent) +
         "\r\nAccept: application/json, text/plain, */*"
         "\r\nAccept-Encoding: identity"
         "\r\nAccept-Language: zh-CN,zh;q=0.9"
         "\r\nReferer: " + std::string(kSiteReferer) +
         "\r\nOrigin: " + std::string(kSiteOrigin);
}

HttpRequestArgs getRequest(std::string_view url, int timeoutSeconds) {
  HttpRequestArgs args;
  // Both are ASCII, which code page 936 keeps as it is.
  args.url = Text(asciiUrl(url));
  args.extraHeaders = Text(apiHeaders());
  args.bodyLimit = kAnswerLimit;
  args.timeoutSeconds = timeoutSeconds;
  return args;
}

}  // namespace

std::string asciiUrl(std::string_view url) {
  return percentEncoded(url, [](unsigned char byte) { return byte > 0x20 && byte < 0x7F; });
}

SiteReply fetchApi(const std::string& url, const std::string& cookies, int timeoutSeconds) {
  HttpRequestArgs args = getRequest(url, timeoutSeconds);
  // Printable ASCII only (the resolver drops other values): the same in code page 936.
  if (!cookies.empty()) args.submittedCookies = Text(cookies);
  httpRequest(args);
  const bool answered = !args.returnedHeaders.empty();
  return {answered, static_cast<int>(args.statusCode),
          std::string(args.responseBytes.begin(), args.responseBytes.end())};
}

std::optional<std::string> fetchRedirect(const std::string& url, int timeoutSeconds) {
  HttpRequestArgs args = getRequest(url, timeoutSeconds);
  args.disableRedirects = true;
  httpRequest(args);
  if (!isRedirectStatus(args.statusCode) || args.redirectLocation.empty()) {
    return std::nullopt;
  }
  return resolveLocation(url, args.redirectLocation.bytes());
}

std::vector<std::string> cdnHeaders() {
  return {"Referer: " + std::string(kSiteReferer), "User-Agent: " + std::string(kBrowserUserAgent)};
}

}  // namespace pindlewick::site
