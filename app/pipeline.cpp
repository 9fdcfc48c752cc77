#include "app/pipeline.h"

#include <filesystem>
#include <limits>
#include <new>
#include <system_error>
#include <thread>

#include "app/media_info.h"
#include "app/progress_display.h"
#include "download/download.h"
#include "http/http_request.h"
#include "text/codepage.h"
#include "text/pause.h"
#include "text/phrases.h"

namespace pindlewick {
namespace {

// An answer page is a few kilobytes; anything past this is not one, and
// keeping it would only exhaust memory.
constexpr std::size_t kAnswerLimit = 16 * 1024 * 1024;
constexpr int kFirstRetryWaitMs = 1000;

Text statusLine(Phrase before, TextView partNumber, Phrase after) {
  return concatText({phrase(before), partNumber, phrase(after)});
}

struct ParseAnswer {
  Text page;
  bool failedInPassing = false;
};

bool isPassingStatus(TextView statusText) {
  const int status = textToInt(textLeft(statusText, 3));
  return status >= 500 || status == 429;
}

ParseAnswer askParseService(TextView endpoint, TextView pageUrl, TextView partNumber) {
  const Text pageAddress = concatText({pageUrl, "?p=", partNumber});
  HttpRequestArgs request;
  request.url = endpoint;
  request.method = kMethodPost;
  request.postText = concatText(
      {"bilibiliurl=", urlEncode(pageAddress, true, true), "&zengqiang=true"});
  request.bodyLimit = kAnswerLimit;
  Text page = httpRequest(request);
  const bool passing = request.failedInPassing || isPassingStatus(request.statusText);
  return {std::move(page), passing};
}

// The window as the download sees it: the progress row and the messages.
class WindowDownloadListener final : public DownloadListener {
 public:
  explicit WindowDownloadListener(WindowPort& window) : window_(window) {}
  void onProgress(const ProgressReport& report) override { showProgress(window_, report); }
  void onFailure(TextView message) override {
    window_.showMessage(message, phrase(Phrase::messageCaption));
  }
  bool followsProgress() const override { return window_.showsProgress(); }

 private:
  WindowPort& window_;
};

std::optional<std::int64_t> resumeOffsetOf(const std::filesystem::path& path, bool resume) {
  std::error_code error;
  if (!resume || !std::filesystem::is_regular_file(path, error)) return std::nullopt;
  const auto size = std::filesystem::file_size(path, error);
  return error ? std::nullopt : std::optional<std::int64_t>(static_cast<std::int64_t>(size));
}

PartResult download(WindowPort& window, TextView link, const std::filesystem::path& path,
                    bool resume) {
  WindowDownloadListener listener(window);
  const DownloadResult result = downloadFile(link, path, listener, resumeOffsetOf(path, resume));
  switch (result.outcome) {
    case DownloadResult::Outcome::stored: return {PartOutcome::downloaded};
    case DownloadResult::Outcome::alreadyComplete: return {PartOutcome::alreadyComplete};
    case DownloadResult::Outcome::failed: break;
  }
  return {PartOutcome::downloadFailed, result.worthRetrying, result.fileTouched};
}

// A part whose work throws fails with a message of its own; the batch goes on.
PartResult processPartSafely(WindowPort& window, TextView endpoint, TextView pageUrl,
                             TextView partNumber, bool resume) {
  try {
    return processPart(window, endpoint, pageUrl, partNumber, resume);
  } catch (const std::bad_alloc&) {
    window.showMessage(phrase(Phrase::outOfMemory), phrase(Phrase::messageCaption));
  } catch (const std::exception&) {
    window.showMessage(phrase(Phrase::partFailedInternally), phrase(Phrase::messageCaption));
  }
  return {PartOutcome::failedWithException};
}

// One part with its retries: each waits twice as long as the one before, and
// continues the file an earlier attempt of this batch started.
PartResult processPartWithRetries(WindowPort& window, TextView endpoint, TextView pageUrl,
                                  int part, const BatchOptions& options) {
  bool resume = options.continueParts;
  PartResult result;
  for (int attempt = 0;; ++attempt) {
    result = processPartSafely(window, endpoint, pageUrl, intToText(part), resume);
    if (result.succeeded() || !result.worthRetrying || attempt >= options.retries) return result;
    resume = resume || result.fileStarted;
    pauseResponsive(kFirstRetryWaitMs << std::min(attempt, 16));
  }
}

// The number in a part box; full-width digits count as digits.
int partNumberIn(WindowPort& window, EditBox box) { return textToInt(utf8ToGbk(window.readEditBox(box))); }

void record(BatchSummary& summary, int part, const PartResult& result) {
  if (result.outcome == PartOutcome::downloaded) {
    summary.downloaded.push_back(part);
  } else if (result.outcome == PartOutcome::alreadyComplete) {
    summary.alreadyComplete.push_back(part);
  } else {
    summary.failed.push_back(part);
  }
}

}  // namespace

Text serviceEndpoint(TextView serviceBase) { return concatText({serviceBase, "/api/bilibili/"}); }

PartResult processPart(WindowPort& window, TextView endpoint, TextView pageUrl,
                       TextView partNumber, bool resume) {
  window.setLabel(Label::status, statusLine(Phrase::parseStarting, partNumber, Phrase::parseStartingEnd));
  const ParseAnswer answer = askParseService(endpoint, pageUrl, partNumber);
  const std::optional<MediaInfo> media =
      answer.page.empty() ? std::nullopt : extractMediaInfo(answer.page);
  if (!media) {
    window.setLabel(Label::status, concatText({partNumber, phrase(Phrase::parseFailedEnd)}));
    pauseResponsive(1000);
    if (!answer.page.empty()) return {PartOutcome::markersMissing};
    return {PartOutcome::noAnswer, answer.failedInPassing};
  }

  window.setLabel(Label::status, statusLine(Phrase::parseDone, partNumber, Phrase::parseDoneEnd));
  if (!staysInFolder(media->title) || !staysInFolder(media->extension)) {
    window.showMessage(phrase(Phrase::cannotOpenFile), phrase(Phrase::messageCaption));
    return {PartOutcome::unsafeFileName};
  }
  // The folder is used exactly as typed; only the name from the answer page
  // comes from code page 936.
  const std::filesystem::path path = std::filesystem::u8path(
      window.readEditBox(EditBox::folder) + gbkToUtf8(concatText({media->title, ".", media->extension})));
  return download(window, media->mediaLink, path, resume);
}

BatchSummary runBatch(WindowPort& window, TextView endpoint, const BatchOptions& options) {
  BatchSummary summary;
  // The first number is read once; the last number and the address are read
  // anew for every part, so the user can change them while the batch runs.
  for (int part = partNumberIn(window, EditBox::firstPart); part <= partNumberIn(window, EditBox::lastPart);
       ++part) {
    const Text pageUrl = utf8ToGbk(window.readEditBox(EditBox::pageUrl));
    record(summary, part, processPartWithRetries(window, endpoint, pageUrl, part, options));
    if (part == std::numeric_limits<int>::max()) break;  // the next number would wrap
  }
  window.setLabel(Label::status, phrase(Phrase::batchDone));
  return summary;
}

bool startBatch(std::shared_ptr<WindowPort> window, Text endpoint) {
  try {
    std::thread([window = std::move(window), endpoint = std::move(endpoint)] {
      runBatch(*window, endpoint);
    }).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace pindlewick
