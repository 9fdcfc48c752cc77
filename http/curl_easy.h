// The libcurl adapter shared by the HTTP request and the file download: one
// owner for each curl resource. Internal: no public header of the core
// includes it.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <optional>
#include <string>

namespace pindlewick::curl {

struct EasyCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using Easy = std::unique_ptr<CURL, EasyCleanup>;

struct ListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, ListCleanup>;

struct UrlCleanup {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using Url = std::unique_ptr<CURLU, UrlCleanup>;

// Initialises libcurl once for the process; false when that failed.
bool initialiseLibrary();

// A fresh easy handle, with libcurl initialised once for the process first.
// Null when libcurl cannot be initialised or the handle cannot be made.
Easy openEasy();

// Appends one header line; the list stays as it was if memory runs out.
void appendHeader(HeaderList& list, const char* line);

// Makes the handle trust the certificate authorities of
// ScopedTrustedAuthorities while one is in force, else the system's.
CURLcode trustAuthoritiesInForce(CURL* handle);

// One part of a parsed URL as a string; nullopt when the URL lacks it.
std::optional<std::string> urlPart(const Url& url, CURLUPart part, unsigned flags = 0);

}  // namespace pindlewick::curl
