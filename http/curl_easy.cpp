#include "http/curl_easy.h"

#include <mutex>

#include "http/trusted_authorities.h"

namespace pindlewick::curl {
namespace {

struct StringCleanup {
  void operator()(char* text) const { curl_free(text); }
};

}  // namespace

bool initialiseLibrary() {
  // curl_global_init is not thread-safe on every build: run it exactly once.
  static std::once_flag initialised;
  static CURLcode initResult = CURLE_OK;
  std::call_once(initialised, [] { initResult = curl_global_init(CURL_GLOBAL_DEFAULT); });
  return initResult == CURLE_OK;
}

Easy openEasy() {
  if (!initialiseLibrary()) return nullptr;
  return Easy(curl_easy_init());
}

void appendHeader(HeaderList& list, const char* line) {
  if (curl_slist* grown = curl_slist_append(list.get(), line)) {
    list.release();
    list.reset(grown);
  }
}

CURLcode trustAuthoritiesInForce(CURL* handle) {
  const std::string authorities = trustedAuthoritiesFile();
  // libcurl keeps its own copy of the path.
  return authorities.empty() ? CURLE_OK : curl_easy_setopt(handle, CURLOPT_CAINFO, authorities.c_str());
}

std::optional<std::string> urlPart(const Url& url, CURLUPart part, unsigned flags) {
  char* raw = nullptr;
  if (curl_url_get(url.get(), part, &raw, flags) != CURLUE_OK) return std::nullopt;
  const std::unique_ptr<char, StringCleanup> owned(raw);
  return std::string(owned.get());
}

}  // namespace pindlewick::curl
