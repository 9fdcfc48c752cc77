// Streaming download of one URL into one local file, and the progress row that
// follows it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <optional>

#include "download/window_port.h"
#include "text/text.h"

namespace pindlewick {

// The caption of every message the download shows, and its message for a
// local file that cannot be opened (code page 936), for callers that refuse a
// path before downloading.
inline constexpr TextView kMessageCaption = "\xd0\xc5\xcf\xa2\xa3\xba";  // 信息：
inline constexpr TextView kCannotOpenFileMessage =
    "\xb2\xbb\xc4\xdc\xb4\xf2\xbf\xaa\xb1\xbe\xb5\xd8\xb5\xc4\xce\xc4\xbc\xfe!";  // 不能打开本地的文件!

// One report after a stored block. The counts are 64-bit all the way to the
// row, so files past 2 GiB show right.
struct ProgressReport {
  std::int64_t contentLength = 0;  // of this answer's body; 0 when the server sent none
  std::int64_t totalBytes = 0;     // in the file after this block
  int elapsedMs = 10;              // since the first byte was expected; never 0
  std::int64_t receivedBytes = 0;  // by this call
};

// Called after every stored block, never before it is written.
using ProgressCallback = std::function<void(const ProgressReport&)>;

// The limits that keep a download from hanging. The defaults are the
// product's; tests shorten them. (HTTPS trust follows ScopedTrustedAuthorities,
// as for httpRequest.)
struct DownloadSettings {
  std::chrono::milliseconds connectLimit{60'000};
  // A body (or a response head) that moves no byte for this long fails.
  std::chrono::milliseconds stallLimit{60'000};
};

// Fetches url (code page 936) with a GET and streams the body into path (in
// the file system's encoding). Only a final answer (after redirects) of 2xx is
// stored; any other is "cannot open the URL" and leaves the file untouched.
// Without resumeOffset the file is created or emptied. With it, the bytes from
// that offset on are asked for: a 206 answer is appended to the file, a 200
// (the range was ignored) rewrites it from the start, and a 416 means the file
// is already complete (success, nothing written). The file is touched only
// once the final answer's head has arrived. Every failure is shown through
// window.showMessage before the download cleans up; the result is 0 on
// success, -1 on failure.
int downloadFile(TextView url, const std::string& path, const ProgressCallback& progress,
                 std::optional<int> resumeOffset, WindowPort& window,
                 const DownloadSettings& settings = {});

// Writes the speed, the bar position and the percentage of one progress report
// into the window, in that order. Without a content length only the speed.
void showProgress(WindowPort& window, const ProgressReport& report);

}  // namespace pindlewick
