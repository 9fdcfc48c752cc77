#include "http/curl_easy.h"

#include <mutex>

namespace pindlewick::curl {

Easy openEasy() {
  // curl_global_init is not thread-safe on every build: run it exactly once.
  static std::once_flag initialised;
  static CURLcode initResult = CURLE_OK;
  std::call_once(initialised, [] { initResult = curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (initResult != CURLE_OK) return nullptr;
  return Easy(curl_easy_init());
}

void appendHeader(HeaderList& list, const char* line) {
  if (curl_slist* grown = curl_slist_append(list.get(), line)) {
    list.release();
    list.reset(grown);
  }
}

}  // namespace pindlewick::curl
