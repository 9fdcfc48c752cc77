#include "http/curl_transfer.h"

#include <strings.h>

#include "http/curl_easy.h"

namespace pindlewick::curl {
namespace {

std::string_view withoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

}  // namespace

bool StallWatch::watch(CURL* handle) {
  handle_ = handle;
  restart();
  return allSet(curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L),
                curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, onTick),
                curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this));
}

void StallWatch::restart() {
  lastMove_ = Clock::now();
  bytesMoved_ = 0;
}

// libcurl's own low-speed check averages over seconds and would stretch the
// limit; this one counts from the last byte.
int StallWatch::onTick(void* self, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) noexcept {
  auto& watch = *static_cast<StallWatch*>(self);
  curl_off_t connectedAfter = 0;
  curl_easy_getinfo(watch.handle_, CURLINFO_PRETRANSFER_TIME_T, &connectedAfter);
  const Clock::time_point now = Clock::now();
  if (connectedAfter == 0 || received + sent != watch.bytesMoved_) {
    watch.bytesMoved_ = received + sent;
    watch.lastMove_ = now;
    return 0;
  }
  return now - watch.lastMove_ >= watch.limit_ ? 1 : 0;
}

bool setSharedOptions(CURL* handle, long receiveBufferSize, const TransferCallbacks& callbacks,
                      StallWatch& stallWatch) {
  return allSet(curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L),
                curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)),
                curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https"),
                curl_easy_setopt(handle, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L),
                curl_easy_setopt(handle, CURLOPT_HTTP_CONTENT_DECODING, 0L),
                curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, receiveBufferSize),
                curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, callbacks.onHeadLine),
                curl_easy_setopt(handle, CURLOPT_HEADERDATA, callbacks.data),
                curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, callbacks.onBody),
                curl_easy_setopt(handle, CURLOPT_WRITEDATA, callbacks.data),
                trustAuthoritiesInForce(handle)) &&
         stallWatch.watch(handle);
}

bool HeadReader::feed(CURL* handle, std::string_view line) {
  const std::string_view content = withoutLineEnd(line);
  if (content.starts_with("HTTP/")) {
    clear();
  } else if (complete_) {
    return false;
  }
  raw_.append(content);
  raw_.append("\r\n");
  if (!content.empty()) return false;
  complete_ = responseStatus(handle) >= 200;
  return complete_;
}

void HeadReader::clear() {
  raw_.clear();
  complete_ = false;
}

long responseStatus(CURL* handle) {
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  return status;
}

bool leavesTls(CURL* handle, bool& tlsSeen) {
  const char* scheme = nullptr;
  curl_easy_getinfo(handle, CURLINFO_SCHEME, &scheme);
  const bool tls = scheme != nullptr && ::strcasecmp(scheme, "https") == 0;
  if (tlsSeen && !tls) return true;
  tlsSeen = tlsSeen || tls;
  return false;
}

bool isPassingFailure(CURLcode code, long status) {
  switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_ABORTED_BY_CALLBACK:  // the stall watch
      return true;
    default:
      return status >= 500 || status == 429;
  }
}

}  // namespace pindlewick::curl
