#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <limits>
#include <string_view>
#include <utility>

#include "download/download.h"
#include "download/local_file.h"
#include "download/transfer_counts.h"
#include "http/curl_easy.h"
#include "text/codepage.h"
#include "text/events.h"

namespace pindlewick {
namespace {

// Messages in code page 936, as the window expects them.
constexpr TextView kNoSession = "Internet\xc1\xac\xbd\xd3\xb4\xed\xce\xf3!";        // Internet连接错误!
constexpr TextView kCannotOpenUrl = "\xb2\xbb\xc4\xdc\xb4\xf2\xbf\xaa\xb8\xc3URL!";  // 不能打开该URL!
constexpr TextView kReadFailed = "\xb6\xc1\xce\xc4\xbc\xfe\xb3\xf6\xb4\xed!";   // 读文件出错!
constexpr TextView kWriteFailed = "\xd0\xb4\xce\xc4\xbc\xfe\xb3\xf6\xb4\xed!";  // 写文件出错!

// The largest block written and reported at once.
constexpr std::size_t kBlockSize = 10240;
// What libcurl receives at once before it is cut into blocks: larger reads
// keep the socket work per byte low; the blocks stay as they are.
constexpr long kReceiveBufferSize = 102400;
// Redirects followed before giving up, so a redirect loop cannot run forever.
constexpr long kMaxRedirects = 30;

constexpr const char* kFixedHeaders[] = {
    "Accept: */*",
    "Accept-Language: zh-cn",
    "Accept-Encoding: gzip, deflate",
    "User-Agent: Mozilla/4.0(compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)",
    // Ask every cache on the way for a fresh copy.
    "Pragma: no-cache",
};

enum class Failure { none, session, openUrl, openFile, read, write };

// Everything one call learns while the transfer runs.
struct Transfer {
  Transfer(CURL* easy, std::string localPath, std::optional<int> resumeOffset,
           const ProgressCallback& progress, std::chrono::milliseconds stallLimit)
      : easy(easy),
        localPath(std::move(localPath)),
        resume(resumeOffset.has_value()),
        offset(resumeOffset.value_or(0)),
        progress(progress),
        stallLimit(stallLimit) {}

  CURL* easy;
  std::string localPath;  // in the file system's encoding
  bool resume;
  std::int64_t offset;
  const ProgressCallback& progress;

  std::chrono::milliseconds stallLimit;
  curl_off_t lastReceived = 0;
  std::chrono::steady_clock::time_point lastMovement = std::chrono::steady_clock::now();

  // The response whose head is being read; redirects and interim answers
  // each start a new one.
  bool locationSeen = false;
  std::int64_t contentLengthHeader = -1;
  // A request went out over TLS, so no later hop may fall back to plain HTTP.
  bool httpsSeen = false;
  // The final response's head has arrived: the URL is open.
  bool urlOpen = false;

  LocalFile file;
  int contentLength = 0;
  int startMs = 0;
  std::int64_t byteCount = 0;
  Failure failure = Failure::none;
};

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         ::strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// The number in a Content-Length value, or -1 when it is not one.
std::int64_t parseLength(std::string_view value) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const auto first = value.find_first_not_of(kBlanks);
  const auto last = value.find_last_not_of(kBlanks);
  if (first == std::string_view::npos) return -1;
  value = value.substr(first, last - first + 1);
  std::int64_t length = -1;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
  return error == std::errc() && end == value.data() + value.size() ? length : -1;
}

// The 32-bit content length the callback reports: 0 when unknown or when it
// does not fit 32 bits.
int reportedLength(std::int64_t header) {
  if (header < 0 || header > std::numeric_limits<std::uint32_t>::max()) return 0;
  return low32(header);
}

// The head of the final response is complete: open the local file now, never
// before, so a URL that cannot be opened leaves the file alone.
bool openLocalFile(Transfer& transfer) {
  transfer.urlOpen = true;
  transfer.file = LocalFile::open(transfer.localPath, transfer.resume);
  if (!transfer.file.isOpen()) {
    transfer.failure = Failure::openFile;
    return false;
  }
  transfer.contentLength = reportedLength(transfer.contentLengthHeader);
  transfer.byteCount = transfer.offset;
  transfer.startMs = uptimeMs();
  return true;
}

void readHeadLine(Transfer& transfer, std::string_view line) {
  constexpr std::string_view kContentLength = "Content-Length:";
  if (startsWithIgnoringCase(line, "HTTP/")) {
    transfer.locationSeen = false;
    transfer.contentLengthHeader = -1;
  } else if (startsWithIgnoringCase(line, "Location:")) {
    transfer.locationSeen = true;
  } else if (startsWithIgnoringCase(line, kContentLength)) {
    transfer.contentLengthHeader = parseLength(line.substr(kContentLength.size()));
  }
}

// libcurl follows every 3xx answer that names a Location; 1xx answers are
// interim. Any other answer is the one whose body is stored.
bool isFinalResponse(const Transfer& transfer) {
  long status = 0;
  curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
  const bool followed = status >= 300 && status < 400 && transfer.locationSeen;
  return status >= 200 && !followed;
}

std::size_t onHeadLine(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::string_view line(data, size * count);
  // Trailers after a chunked body come through here too; they change nothing.
  if (transfer.urlOpen) return line.size();
  if (line == "\r\n" || line == "\n") {
    if (isFinalResponse(transfer) && !openLocalFile(transfer)) return 0;
  } else {
    readHeadLine(transfer, line);
  }
  return line.size();
}

void reportProgress(const Transfer& transfer) {
  if (!transfer.progress) return;
  transfer.progress(transfer.contentLength, low32(transfer.byteCount),
                    elapsedSince(transfer.startMs, uptimeMs()),
                    low32(transfer.byteCount - transfer.offset));
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::size_t length = size * count;
  for (std::size_t done = 0; done < length;) {
    const std::size_t block = std::min(kBlockSize, length - done);
    if (!transfer.file.write(data + done, block)) {
      transfer.failure = Failure::write;
      return 0;
    }
    done += block;
    transfer.byteCount += static_cast<std::int64_t>(block);
    reportProgress(transfer);
  }
  return length;
}

// Called before every request, the redirected ones included.
int onRequest(void* user, char*, char*, int, int) {
  auto& transfer = *static_cast<Transfer*>(user);
  const char* scheme = nullptr;
  curl_easy_getinfo(transfer.easy, CURLINFO_SCHEME, &scheme);
  const bool https = scheme != nullptr && ::strcasecmp(scheme, "https") == 0;
  if (transfer.httpsSeen && !https) return CURL_PREREQFUNC_ABORT;
  transfer.httpsSeen = transfer.httpsSeen || https;
  return CURL_PREREQFUNC_OK;
}

// Ends a transfer whose body (or response head) has not moved for the stall
// limit. libcurl's own low-speed check averages over seconds and would
// stretch the limit; this one counts from the last byte.
int onTransferTick(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
  auto& transfer = *static_cast<Transfer*>(user);
  const auto now = std::chrono::steady_clock::now();
  if (received != transfer.lastReceived) {
    transfer.lastReceived = received;
    transfer.lastMovement = now;
  }
  return now - transfer.lastMovement >= transfer.stallLimit ? 1 : 0;
}

curl::HeaderList requestHeaders(std::optional<int> resumeOffset) {
  curl::HeaderList headers;
  for (const char* line : kFixedHeaders) curl::appendHeader(headers, line);
  if (resumeOffset) {
    const Text range = concatText({"Range:bytes=", intToText(*resumeOffset), "-"});
    curl::appendHeader(headers, range.c_str());
  }
  return headers;
}

bool configure(CURL* easy, const Text& url, curl_slist* headers, Transfer& transfer,
               const DownloadSettings& settings) {
  return curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long{CURL_HTTP_VERSION_1_1}) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers) == CURLE_OK &&
      // The body is stored exactly as it arrives, even when it is compressed.
      curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                       static_cast<long>(settings.connectLimit.count())) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, onTransferTick) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferSize) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeadLine) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, onRequest) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_PREREQDATA, &transfer) == CURLE_OK &&
      curl::trustAuthoritiesInForce(easy) == CURLE_OK;
}

// What went wrong, judged by how far the transfer came.
Failure failureOf(const Transfer& transfer, CURLcode result) {
  if (transfer.failure != Failure::none) return transfer.failure;
  if (!transfer.urlOpen) return Failure::openUrl;
  return result == CURLE_OK ? Failure::none : Failure::read;
}

TextView messageFor(Failure failure) {
  switch (failure) {
    case Failure::session: return kNoSession;
    case Failure::openUrl: return kCannotOpenUrl;
    case Failure::openFile: return kCannotOpenFileMessage;
    case Failure::read: return kReadFailed;
    case Failure::write: return kWriteFailed;
    case Failure::none: break;
  }
  return {};
}

// Shows the failure and waits for the answer while everything is still open;
// the caller's owners then close the file and the handle.
int reportFailure(WindowPort& window, Failure failure) {
  window.showMessage(messageFor(failure), kMessageCaption);
  return -1;
}

}  // namespace

int downloadFile(TextView url, TextView path, const ProgressCallback& progress,
                 std::optional<int> resumeOffset, WindowPort& window,
                 const DownloadSettings& settings) {
  const curl::HeaderList headers = requestHeaders(resumeOffset);
  const curl::Easy easy = curl::openEasy();
  if (!easy) return reportFailure(window, Failure::session);

  const Text urlText(url);
  Transfer transfer(easy.get(), gbkToUtf8(path), resumeOffset, progress, settings.stallLimit);
  if (!headers || !configure(easy.get(), urlText, headers.get(), transfer, settings)) {
    return reportFailure(window, Failure::session);
  }
  const Failure failure = failureOf(transfer, curl_easy_perform(easy.get()));
  return failure == Failure::none ? 0 : reportFailure(window, failure);
}

}  // namespace pindlewick
