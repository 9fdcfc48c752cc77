#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <exception>
#include <optional>
#include <string_view>
#include <utility>

#include "download/download.h"
#include "download/local_file.h"
#include "download/transfer_counts.h"
#include "http/curl_easy.h"
#include "http/curl_transfer.h"
#include "text/events.h"
#include "text/phrases.h"

namespace pindlewick {
namespace {

// The largest block written and reported at once.
constexpr std::size_t kBlockSize = 10240;
// What libcurl receives at once before it is cut into blocks: larger reads
// keep the socket work per byte low; the blocks stay as they are.
constexpr long kReceiveBufferSize = 102400;
// Redirects followed before giving up, so a redirect loop cannot run forever.
constexpr long kMaxRedirects = 30;

constexpr std::string_view kFixedHeaders[] = {
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
  Transfer(CURL* easy, std::filesystem::path localPath, std::optional<std::int64_t> resumeOffset,
           DownloadListener& listener, std::chrono::milliseconds stallLimit)
      : easy(easy),
        localPath(std::move(localPath)),
        resumeOffset(resumeOffset),
        listener(listener),
        reportsProgress(listener.followsProgress()),
        stallWatch(stallLimit) {}

  CURL* easy;
  std::filesystem::path localPath;
  std::optional<std::int64_t> resumeOffset;
  DownloadListener& listener;
  bool reportsProgress;
  curl::StallWatch stallWatch;
  curl::HeadReader head;
  // A request went out over TLS, so no later hop may fall back to plain HTTP.
  bool tlsSeen = false;

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

// The length libcurl read from the head, or 0 when the server sent none.
std::int64_t announcedLength(CURL* easy) {
  curl_off_t length = -1;
  curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  return length > 0 ? length : 0;
}

// Where the body of the final answer starts in the resource, from its
// Content-Range ("bytes 1000-99999/100000"); nothing when it has none.
std::optional<std::int64_t> rangeStart(CURL* easy) {
  curl_header* field = nullptr;
  if (curl_easy_header(easy, "Content-Range", 0, CURLH_HEADER, -1, &field) != CURLHE_OK) {
    return std::nullopt;
  }
  std::string_view value(field->value);
  if (!value.starts_with("bytes ")) return std::nullopt;
  value.remove_prefix(6);
  std::int64_t start = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), start);
  if (error != std::errc{} || end == value.data() + value.size() || *end != '-') return std::nullopt;
  return start;
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
  const long status = curl::responseStatus(transfer.easy);
  if (status >= 300 && status < 400) return true;
  if (status == 416 && transfer.resumeOffset) {
    transfer.alreadyComplete = true;
    return false;
  }
  // Bytes from anywhere but the end of the file would corrupt it.
  const bool rangeElsewhere =
      status == 206 && transfer.resumeOffset && rangeStart(transfer.easy) != transfer.resumeOffset;
  if (status >= 300 || rangeElsewhere) {
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
  return guarded(transfer, [&] {
    if (!transfer.head.feed(transfer.easy, line)) return line.size();
    return onHeadEnd(transfer) ? line.size() : 0;
  });
}

void reportBlocks(Transfer& transfer, std::size_t length) {
  for (std::size_t done = 0; done < length;) {
    const std::size_t block = std::min(kBlockSize, length - done);
    done += block;
    transfer.report.totalBytes += static_cast<std::int64_t>(block);
    if (!transfer.reportsProgress) continue;
    transfer.report.receivedBytes = transfer.report.totalBytes - transfer.firstByteInFile;
    transfer.report.elapsedMs = elapsedSince(transfer.startMs, uptimeMs());
    transfer.listener.onProgress(transfer.report);
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
int onRequest(void* user, char*, char*, int, int) noexcept {
  auto& transfer = *static_cast<Transfer*>(user);
  return curl::leavesTls(transfer.easy, transfer.tlsSeen) ? CURL_PREREQFUNC_ABORT : CURL_PREREQFUNC_OK;
}

bool namesHeader(std::string_view line, std::string_view header) {
  const std::string_view name = header.substr(0, header.find(':') + 1);
  return line.size() >= name.size() && std::equal(name.begin(), name.end(), line.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

curl::HeaderList requestHeaders(std::optional<std::int64_t> resumeOffset,
                                const std::vector<std::string>& extra) {
  curl::HeaderList headers;
  for (std::string_view fixed : kFixedHeaders) {
    const bool replaced = std::any_of(extra.begin(), extra.end(),
                                      [&](const std::string& line) { return namesHeader(line, fixed); });
    if (!replaced) curl::appendHeader(headers, std::string(fixed).c_str());
  }
  for (const std::string& line : extra) curl::appendHeader(headers, line.c_str());
  if (resumeOffset) {
    curl::appendHeader(headers, ("Range:bytes=" + std::to_string(*resumeOffset) + "-").c_str());
  }
  return headers;
}

bool configure(CURL* easy, const Text& url, curl_slist* headers, Transfer& transfer,
               const DownloadSettings& settings) {
  return curl::allSet(
             curl_easy_setopt(easy, CURLOPT_URL, url.c_str()),
             curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"),
             curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L),
             curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects),
             curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers),
             curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                              static_cast<long>(settings.connectLimit.count())),
             curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, onRequest),
             curl_easy_setopt(easy, CURLOPT_PREREQDATA, &transfer)) &&
         curl::setSharedOptions(easy, kReceiveBufferSize, {onHeadLine, onBody, &transfer},
                                transfer.stallWatch);
}

// What went wrong, judged by how far the transfer came. A stored body is
// complete only once its file has closed cleanly.
Failure failureOf(Transfer& transfer, CURLcode result) {
  if (transfer.alreadyComplete) return Failure::none;
  if (transfer.failure != Failure::none) return transfer.failure;
  if (!transfer.file.isOpen()) return Failure::openUrl;  // ended on a 3xx, or before any head
  if (result != CURLE_OK) return Failure::read;
  return transfer.file.close() ? Failure::none : Failure::write;
}

TextView messageFor(Failure failure) {
  switch (failure) {
    case Failure::session: return phrase(Phrase::noInternet);
    case Failure::openUrl: return phrase(Phrase::cannotOpenUrl);
    case Failure::openFile: return phrase(Phrase::cannotOpenFile);
    case Failure::read: return phrase(Phrase::readFailed);
    case Failure::write: return phrase(Phrase::writeFailed);
    case Failure::none: break;
  }
  return {};
}

// Shows the failure and waits for the answer while everything is still open;
// the caller's owners then close the file and the handle.
DownloadResult reportFailure(DownloadListener& listener, Failure failure, bool worthRetrying = false,
                             bool fileTouched = false) {
  listener.onFailure(messageFor(failure));
  return {DownloadResult::Outcome::failed, worthRetrying, fileTouched};
}

DownloadResult resultOf(Transfer& transfer, CURLcode result) {
  const Failure failure = failureOf(transfer, result);
  if (failure == Failure::none) {
    return {transfer.alreadyComplete ? DownloadResult::Outcome::alreadyComplete
                                     : DownloadResult::Outcome::stored};
  }
  const bool passing = (failure == Failure::openUrl || failure == Failure::read) &&
                       curl::isPassingFailure(result, curl::responseStatus(transfer.easy));
  return reportFailure(transfer.listener, failure, passing, transfer.file.isOpen());
}

}  // namespace

DownloadResult downloadFile(TextView url, const std::filesystem::path& path,
                            DownloadListener& listener, std::optional<std::int64_t> resumeOffset,
                            const DownloadSettings& settings) {
  const curl::HeaderList headers = requestHeaders(resumeOffset, settings.headers);
  const curl::Easy easy = curl::openEasy();
  if (!easy) return reportFailure(listener, Failure::session);

  const Text urlText(url);
  Transfer transfer(easy.get(), path, resumeOffset, listener, settings.stallLimit);
  if (!headers || !configure(easy.get(), urlText, headers.get(), transfer, settings)) {
    return reportFailure(listener, Failure::session);
  }
  const CURLcode result = curl_easy_perform(easy.get());
  if (transfer.thrown) std::rethrow_exception(transfer.thrown);
  return resultOf(transfer, result);
}

}  // namespace pindlewick
