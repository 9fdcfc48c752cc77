// The site's requests on httpRequest, with the headers a desktop browser
// sends from the site's own pages.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "site/answers.h"

namespace pindlewick::site {

// Old browsers are refused by the stream API, so this follows a current one.
inline constexpr std::string_view kBrowserUserAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/126.0.0.0 Safari/537.36";
inline constexpr std::string_view kSiteReferer = "https://www.bilibili.com/";
inline constexpr std::string_view kSiteOrigin = "https://www.bilibili.com";

// url with every byte outside printable ASCII percent-encoded, as httpRequest
// takes addresses in code page 936.
std::string asciiUrl(std::string_view url);

// A GET of an API address with the browser's headers and, unless "", the
// cookie text; redirects are followed.
SiteReply fetchApi(const std::string& url, const std::string& cookies, int timeoutSeconds);

// A GET of url that does not follow a redirect: the absolute address the
// redirect names, or nullopt when the answer is no redirect (or no answer).
std::optional<std::string> fetchRedirect(const std::string& url, int timeoutSeconds);

// The header lines ("Name: value") the CDN wants on a stream's download.
std::vector<std::string> cdnHeaders();

}  // namespace pindlewick::site
