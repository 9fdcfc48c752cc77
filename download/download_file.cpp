#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <exception>
#include <string_view>
#include <utility>

#include "download/download.h"
#include "download/local_file.h"
#include "download/transfer_counts.h"
#include "http/curl_easy.h"
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
        resumeOffset(resumeOffset),
        progress(progress),
        stallLimit(stallLimit) {}

  CURL* easy;
  std::string localPath;  // in the file system's encoding
  std::optional<int> resumeOffset;
  const ProgressCallback& progress;

  std::chrono::milliseconds stallLimit;
  curl_off_t lastReceived = 0;
  std::chrono::steady_clock::time_point lastMovement = std::chrono::steady_clock::now();

  // A request went out over TLS, so no later hop may fall back to plain HTTP.
  bool httpsSeen = false;

  LocalFile file;
  ProgressReport report;
  std::int64_t firstByteInFile = 0;  // where this call's bytes start counting
  int startMs = 0;
  // A 416 to a resumed request: the file already holds everything.
  bool alreadyComplete = false;
  Failure failure = Failure::none;
  // Thrown inside a libcurl callback; carried past libcurl's C frames and
  // thrown again once the transfer has ended.
  std::exception_ptr thrown;
};

long responseStatus(CURL* easy) {
  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  return status;
}

// The length libcurl read from the head, or 0 when the server sent none.
std::int64_t announcedLength(CURL* easy) {
  curl_off_t length = -1;
  curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  return length > 0 ? length : 0;
}

// A final 2xx answer: open the local file now, never before, so an answer
// that is not stored leaves the file alone. A 206 continues the file; any
// other 2xx is the whole resource and rewrites it.
bool openLocalFile(Transfer& transfer, long status) {
  const bool continues = transfer.resumeOffset.has_value() && status == 206;
  transfer.file = LocalFile::open(
      transfer.localPath, continues ? LocalFile::Mode::append : LocalFile::Mode::rewrite);
  if (!transfer.file.isOpen()) {
    transfer.failure = Failure::openFile;
    return false;
  }
  transfer.firstByteInFile = continues ? *transfer.resumeOffset : 0;
  transfer.report.contentLength = announcedLength(transfer.easy);
  transfer.report.totalBytes = transfer.firstByteInFile;
  transfer.startMs = uptimeMs();
  return true;
}

// A head is complete. libcurl decides which 3xx answers it follows: their
// bodies never reach onBody, so a 3xx is judged only if a body of its own
// arrives (onBody) or the transfer ends on it (finish). Returns false to end
// the transfer.
bool onHeadEnd(Transfer& transfer) {
  const long status = responseStatus(transfer.easy);
  if (status < 200 || (status >= 300 && status < 400)) return true;
  if (status == 416 && transfer.resumeOffset) {
    transfer.alreadyComplete = true;
    return false;
  }
  if (status >= 300) {
    transfer.failure = Failure::openUrl;
    return false;
  }
  return openLocalFile(transfer, status);
}

// Runs a callback's work so that nothing is thrown through libcurl.
template <typename Work>
std::size_t guarded(Transfer& transfer, Work work) noexcept {
  try {
    return work();
  } catch (...) {
    transfer.thrown = std::current_exception();
    return 0;
  }
}

std::size_t onHeadLine(char* data, std::size_t size, std::size_t count, void* user) noexcept {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::string_view line(data, size * count);
  // Trailers after a chunked body come through here too; they change nothing.
  if (transfer.file.isOpen() || (line != "\r\n" && line != "\n")) return line.size();
  return guarded(transfer, [&] { return onHeadEnd(transfer) ? line.size() : 0; });
}

void reportBlocks(Transfer& transfer, std::size_t length) {
  for (std::size_t done = 0; done < length;) {
    const std::size_t block = std::min(kBlockSize, length - done);
    done += block;
    transfer.report.totalBytes += static_cast<std::int64_t>(block);
    if (!transfer.progress) continue;
    transfer.report.receivedBytes = transfer.report.totalBytes - transfer.firstByteInFile;
    transfer.report.elapsedMs = elapsedSince(transfer.startMs, uptimeMs());
    transfer.progress(transfer.report);
  }
}

// Each chunk libcurl hands over is written with one call, then reported in
// blocks of at most kBlockSize, so the row never runs ahead of the file.
std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) noexcept {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::size_t length = size * count;
  // A body without an open file belongs to a 3xx answer libcurl did not follow.
  if (!transfer.file.isOpen()) {
    transfer.failure = Failure::openUrl;
    return 0;
  }
  if (!transfer.file.write(data, length)) {
    transfer.failure = Failure::write;
    return 0;
  }
  return guarded(transfer, [&] {
    reportBlocks(transfer, length);
    return length;
  });
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

// What went wrong, judged by how far the transfer came. A stored body is
// complete only once its file has closed cleanly.
Failure finish(Transfer& transfer, CURLcode result) {
  if (transfer.alreadyComplete) return Failure::none;
  if (transfer.failure != Failure::none) return transfer.failure;
  if (!transfer.file.isOpen()) return Failure::openUrl;  // ended on a 3xx, or before any head
  if (result != CURLE_OK) return Failure::read;
  return transfer.file.close() ? Failure::none : Failure::write;
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

int downloadFile(TextView url, const std::string& path, const ProgressCallback& progress,
                 std::optional<int> resumeOffset, WindowPort& window,
                 const DownloadSettings& settings) {
  const curl::HeaderList headers = requestHeaders(resumeOffset);
  const curl::Easy easy = curl::openEasy();
  if (!easy) return reportFailure(window, Failure::session);

  const Text urlText(url);
  Transfer transfer(easy.get(), path, resumeOffset, progress, settings.stallLimit);
  if (!headers || !configure(easy.get(), urlText, headers.get(), transfer, settings)) {
    return reportFailure(window, Failure::session);
  }
  const CURLcode result = curl_easy_perform(easy.get());
  if (transfer.thrown) std::rethrow_exception(transfer.thrown);
  const Failure failure = finish(transfer, result);
  return failure == Failure::none ? 0 : reportFailure(window, failure);
}

}  // namespace pindlewick
