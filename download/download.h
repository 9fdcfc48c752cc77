// Streaming download of one URL into one local file, and the progress row that
// follows it.
#pragma once

#include <chrono>
#include <functional>
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

// Called after every stored block with (contentLength, totalBytes, elapsedMs,
// receivedBytes); contentLength is 0 when the server sent none.
using ProgressCallback =
    std::function<void(int contentLength, int totalBytes, int elapsedMs, int receivedBytes)>;

// The limits that keep a download from hanging. The defaults are the
// product's; tests shorten them. (HTTPS trust follows ScopedTrustedAuthorities,
// as for httpRequest.)
struct DownloadSettings {
  std::chrono::milliseconds connectLimit{60'000};
  // A body (or a response head) that moves no byte for this long fails.
  std::chrono::milliseconds stallLimit{60'000};
};

// Fetches url with a GET and streams the body into path (code page 936). With
// resumeOffset, asks for the bytes from that offset on and appends to the file;
// without, the file is created or emptied. The file is touched only once the
// response head has arrived. Every failure is shown through window.showMessage
// before the download cleans up; the result is 0 on success, -1 on failure.
int downloadFile(TextView url, TextView path, const ProgressCallback& progress,
                 std::optional<int> resumeOffset, WindowPort& window,
                 const DownloadSettings& settings = {});

// Writes the speed, the bar position and the percentage of one progress report
// into the window, in that order. Without a content length only the speed.
void showProgress(WindowPort& window, int contentLength, int totalBytes, int elapsedMs,
                  int receivedBytes);

}  // namespace pindlewick
