// Streaming download of one URL into one local file, and the progress row that
// follows it.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "download/window_port.h"
#include "text/text.h"

namespace pindlewick {

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
