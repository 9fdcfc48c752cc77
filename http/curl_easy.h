// The libcurl adapter shared by the HTTP request and the file download: one
// owner for each curl resource. Internal: no public header of the core
// includes it.
#pragma once

#include <curl/curl.h>

#include <memory>

namespace pindlewick::curl {

struct EasyCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using Easy = std::unique_ptr<CURL, EasyCleanup>;

struct ListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, ListCleanup>;

// A fresh easy handle, with libcurl initialised once for the process first.
// Null when libcurl cannot be initialised or the handle cannot be made.
Easy openEasy();

// Appends one header line; the list stays as it was if memory runs out.
void appendHeader(HeaderList& list, const char* line);

}  // namespace pindlewick::curl
