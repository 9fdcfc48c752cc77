#include "app/pipeline.h"

#include <limits>
#include <new>
#include <system_error>
#include <thread>

#include "app/media_info.h"
#include "download/download.h"
#include "http/http_request.h"
#include "text/codepage.h"
#include "text/pause.h"

namespace pindlewick {
namespace {

// An answer page is a few kilobytes; anything past this is not one, and
// keeping it would only exhaust memory.
constexpr std::size_t kAnswerLimit = 16 * 1024 * 1024;

// Status texts, kept in UTF-8 here and shown in code page 936.
Text statusLine(std::string_view utf8Before, TextView partNumber, std::string_view utf8After) {
  return concatText({utf8ToGbk(utf8Before), partNumber, utf8ToGbk(utf8After)});
}

Text askParseService(TextView endpoint, TextView pageUrl, TextView partNumber) {
  const Text pageAddress = concatText({pageUrl, "?p=", partNumber});
  HttpRequestArgs request;
  request.url = endpoint;
  request.method = kMethodPost;
  request.postText = concatText(
      {"bilibiliurl=", urlEncode(pageAddress, true, true), "&zengqiang=true"});
  request.bodyLimit = kAnswerLimit;
  return httpRequest(request);
}

ProgressCallback progressShownIn(WindowPort& window) {
  if (!window.showsProgress()) return {};
  return [&window](const ProgressReport& report) { showProgress(window, report); };
}

// A part whose work throws fails with a message of its own; the batch goes on.
PartOutcome processPartSafely(WindowPort& window, TextView endpoint, TextView pageUrl,
                              TextView partNumber) {
  try {
    return processPart(window, endpoint, pageUrl, partNumber);
  } catch (const std::bad_alloc&) {
    window.showMessage(utf8ToGbk("内存不足!"), kMessageCaption);
  } catch (const std::exception&) {
    window.showMessage(utf8ToGbk("处理出错!"), kMessageCaption);
  }
  return PartOutcome::failedWithException;
}

}  // namespace

Text serviceEndpoint(TextView serviceBase) { return concatText({serviceBase, "/api/bilibili/"}); }

PartOutcome processPart(WindowPort& window, TextView endpoint, TextView pageUrl,
                        TextView partNumber) {
  window.setLabel(Label::status, statusLine("开始解析", partNumber, "P。"));
  const Text answer = askParseService(endpoint, pageUrl, partNumber);
  const std::optional<MediaInfo> media = answer.empty() ? std::nullopt : extractMediaInfo(answer);
  if (!media) {
    window.setLabel(Label::status, statusLine("", partNumber, "P解析失败。"));
    pauseResponsive(1000);
    return answer.empty() ? PartOutcome::noAnswer : PartOutcome::markersMissing;
  }

  window.setLabel(Label::status, statusLine("解析", partNumber, "P完成，正在下载。"));
  if (!staysInFolder(media->title) || !staysInFolder(media->extension)) {
    window.showMessage(kCannotOpenFileMessage, kMessageCaption);
    return PartOutcome::unsafeFileName;
  }
  // The folder is used exactly as typed; only the name from the answer page
  // comes from code page 936.
  const std::string path = window.readEditBox(EditBox::folder) +
                           gbkToUtf8(concatText({media->title, ".", media->extension}));
  const int result =
      downloadFile(media->mediaLink, path, progressShownIn(window), std::nullopt, window);
  return result == 0 ? PartOutcome::downloaded : PartOutcome::downloadFailed;
}

BatchSummary runBatch(WindowPort& window, TextView endpoint) {
  BatchSummary summary;
  // The first number is read once; the last number and the address are read
  // anew for every part, so the user can change them while the batch runs.
  for (int part = textToInt(window.readEditBox(EditBox::firstPart));
       part <= textToInt(window.readEditBox(EditBox::lastPart)); ++part) {
    const Text pageUrl = utf8ToGbk(window.readEditBox(EditBox::pageUrl));
    ++summary.partsTried;
    if (processPartSafely(window, endpoint, pageUrl, intToText(part)) != PartOutcome::downloaded) {
      ++summary.partsFailed;
    }
    if (part == std::numeric_limits<int>::max()) break;  // the next number would wrap
  }
  window.setLabel(Label::status, utf8ToGbk("任务完成。"));
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
