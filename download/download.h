// Streaming download of one URL into one local file.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace pindlewick {

// One report after a stored block. The counts are 64-bit all the way to the
// row, so files past 2 GiB show right.
struct ProgressReport {
  std::int64_t contentLength = 0;  // of this answer's body; 0 when the server sent none
  std::int64_t totalBytes = 0;     // in the file after this block
  int elapsedMs = 10;              // since the first byte was expected; never 0
  std::int64_t receivedBytes = 0;  // by this call
};

// What a download tells the one who started it. Called on the downloading
// thread.
class DownloadListener {
 public:
  virtual ~DownloadListener() = default;
  // After every stored block of at most 10240 bytes, never before it is
  // written; only when followsProgress().
  virtual void onProgress(const ProgressReport& report) = 0;
  // Shows a failure; returns once the user has seen it. The download cleans
  // up only afterwards.
  virtual void onFailure(TextView message) = 0;
  // Whether anybody follows the progress; when nobody does, the download
  // skips the work of reporting every block.
  virtual bool followsProgress() const { return true; }
};

// The limits that keep a download from hanging, and the request's headers.
// The defaults are the product's; tests shorten the limits. (HTTPS trust
// follows ScopedTrustedAuthorities, as for httpRequest.)
struct DownloadSettings {
  std::chrono::milliseconds connectLimit{60'000};
  // A body (or a response head) that moves no byte for this long fails.
  std::chrono::milliseconds stallLimit{60'000};
  // Header lines ("Name: value") sent besides the fixed ones; one naming a
  // fixed header replaces it.
  std::vector<std::string> headers;
};

struct DownloadResult {
  enum class Outcome { stored, alreadyComplete, failed };
  Outcome outcome = Outcome::failed;
  // A failure for a passing reason (refused, reset, timed out, stalled, cut
  // short, a 5xx or 429 answer): trying again may succeed.
  bool worthRetrying = false;
  // The local file was opened, so it may hold part of the body.
  bool fileTouched = false;

  bool succeeded() const { return outcome != Outcome::failed; }
};

// name (UTF-8, no folder) as this system can store it. Windows reserves
// : * ? " < > | (a colon would even name a stream of another file): they
// become their full-width forms there, and a name Windows takes for a device
// (con.mp4, NUL, COM1.x) gets a "_" in front. POSIX stores every byte but
// '/' and NUL, which no name reaching here holds.
std::string storableFileName(std::string_view name);

// Fetches url (code page 936) with a GET and streams the body into path. Only
// a final answer (after redirects) of 2xx is stored; any other is "cannot
// open the URL" and leaves the file untouched. Without resumeOffset the file
// is created or emptied. With it, the bytes from that offset on are asked
// for: a 206 answer is appended to the file, a 200 (the range was ignored)
// rewrites it from the start, and a 416 means the file is already complete
// (nothing written). The file is touched only once the final answer's head
// has arrived. Every failure is shown through the listener before the
// download cleans up.
DownloadResult downloadFile(TextView url, const std::filesystem::path& path,
                            DownloadListener& listener, std::optional<std::int64_t> resumeOffset,
                            const DownloadSettings& settings = {});

}  // namespace pindlewick
