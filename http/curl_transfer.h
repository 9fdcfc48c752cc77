// What the HTTP request and the file download both do with a libcurl
// transfer: watching for stalls, reading response heads, judging redirects
// and failures. Each decision is taken from libcurl's own information where
// libcurl knows it. Internal: no public header of the core includes it.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <string>
#include <string_view>

namespace pindlewick::curl {

// True when libcurl took every option.
template <typename... Codes>
bool allSet(Codes... codes) {
  return ((codes == CURLE_OK) && ...);
}

// Ends a transfer in which no byte has moved, either way, for its limit.
// While the connection is still being made, the connect limit applies instead.
class StallWatch {
 public:
  explicit StallWatch(std::chrono::milliseconds limit) : limit_(limit) {}

  // Installs the watch on the handle; it must outlive the transfer.
  bool watch(CURL* handle);
  // Starts counting afresh, for the next transfer on the same handle.
  void restart();

 private:
  static int onTick(void* self, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) noexcept;

  using Clock = std::chrono::steady_clock;
  CURL* handle_ = nullptr;
  std::chrono::milliseconds limit_;
  Clock::time_point lastMove_ = Clock::now();
  curl_off_t bytesMoved_ = 0;
};

// The callbacks of one transfer and the object they are handed.
struct TransferCallbacks {
  curl_write_callback onHeadLine;
  curl_write_callback onBody;
  void* data;
};

// What every transfer here shares: HTTP/1.1 over http and https only, no
// signals, bodies stored as they arrive (never decoded), a proxy's CONNECT
// answers kept out of the heads, the receive buffer, the callbacks, the
// trusted authorities in force and the stall watch.
bool setSharedOptions(CURL* handle, long receiveBufferSize, const TransferCallbacks& callbacks,
                      StallWatch& stallWatch);

// Reads response heads line by line as libcurl delivers them. Every status
// line starts a head afresh, so interim (1xx) answers and the heads of
// followed redirects drop out; lines after a complete head are trailers.
class HeadReader {
 public:
  // Feeds one line (with its line end); true when it completes a head that
  // is not interim. Throws std::bad_alloc when the line cannot be kept.
  bool feed(CURL* handle, std::string_view line);

  bool complete() const { return complete_; }
  // The latest head, each line ended by CR LF, the blank line included.
  const std::string& raw() const { return raw_; }
  void clear();

 private:
  std::string raw_;
  bool complete_ = false;
};

long responseStatus(CURL* handle);

// Whether the request about to go out would leave TLS for plain HTTP after an
// earlier one of the same exchange went over TLS. Call before each request.
bool leavesTls(CURL* handle, bool& tlsSeen);

// Whether a failed transfer is worth trying again: refused, reset, timed out,
// stalled, cut short, or answered with 5xx or 429.
bool isPassingFailure(CURLcode code, long status);

}  // namespace pindlewick::curl
