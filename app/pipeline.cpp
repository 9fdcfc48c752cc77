#include "app/pipeline.h"

#include <filesystem>
#include <limits>
#include <new>
#include <system_error>
#include <thread>

#include "app/parse_service_resolver.h"
#include "app/progress_display.h"
#include "app/site_part_resolver.h"
#include "download/download.h"
#include "text/codepage.h"
#include "text/pause.h"
#include "text/phrases.h"

namespace pindlewick {
namespace {

constexpr int kFirstRetryWaitMs = 1000;

Text statusLine(Phrase before, TextView partNumber, Phrase after) {
  return concatText({phrase(before), partNumber, phrase(after)});
}

// The window as the download sees it: the progress row and the messages.
class WindowDownloadListener : public DownloadListener {
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

// For a link with another still to try: its failure is not shown, since only
// the last link's failure is the part's.
class QuietFailureListener final : public WindowDownloadListener {
 public:
  using WindowDownloadListener::WindowDownloadListener;
  void onFailure(TextView) override {}
};

std::optional<std::int64_t> resumeOffsetOf(const std::filesystem::path& path, bool resume) {
  std::error_code error;
  if (!resume || !std::filesystem::is_regular_file(path, error)) return std::nullopt;
  const auto size = std::filesystem::file_size(path, error);
  return error ? std::nullopt : std::optional<std::int64_t>(static_cast<std::int64_t>(size));
}

PartResult resultOf(const DownloadResult& result, bool fileStarted) {
  switch (result.outcome) {
    case DownloadResult::Outcome::stored: return {PartOutcome::downloaded};
    case DownloadResult::Outcome::alreadyComplete: return {PartOutcome::alreadyComplete};
    case DownloadResult::Outcome::failed: break;
  }
  return {PartOutcome::downloadFailed, result.worthRetrying, fileStarted};
}

// The link, then each backup in turn until one is stored; one message, for
// the last, when none is.
PartResult download(WindowPort& window, const PartLinks& links, const std::filesystem::path& path,
                    bool resume) {
  const DownloadSettings settings{.headers = links.downloadHeaders};
  std::vector<Text> candidates = {links.link};
  candidates.insert(candidates.end(), links.backupLinks.begin(), links.backupLinks.end());
  DownloadResult result;
  bool fileStarted = false;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    WindowDownloadListener shown(window);
    QuietFailureListener quiet(window);
    DownloadListener& listener = i + 1 == candidates.size() ? shown : static_cast<DownloadListener&>(quiet);
    result = downloadFile(candidates[i], path, listener, resumeOffsetOf(path, resume || fileStarted), settings);
    fileStarted = fileStarted || result.fileTouched;
    if (result.succeeded()) break;
  }
  return resultOf(result, fileStarted);
}

// A part whose work throws fails with a message of its own; the batch goes on.
PartResult processPartSafely(WindowPort& window, PartResolver& resolver, const std::string& address,
                             int part, bool resume) {
  try {
    return processPart(window, resolver, address, part, resume);
  } catch (const std::bad_alloc&) {
    window.showMessage(phrase(Phrase::outOfMemory), phrase(Phrase::messageCaption));
  } catch (const std::exception&) {
    window.showMessage(phrase(Phrase::partFailedInternally), phrase(Phrase::messageCaption));
  }
  return {PartOutcome::failedWithException};
}

// One part with its retries: each waits twice as long as the one before, and
// continues the file an earlier attempt of this batch started.
PartResult processPartWithRetries(WindowPort& window, PartResolver& resolver, const std::string& address,
                                  int part, const BatchOptions& options) {
  bool resume = options.continueParts;
  PartResult result;
  for (int attempt = 0;; ++attempt) {
    result = processPartSafely(window, resolver, address, part, resume);
    if (result.succeeded() || !result.worthRetrying || attempt >= options.retries) return result;
    resume = resume || result.fileStarted;
    pauseResponsive(kFirstRetryWaitMs << std::min(attempt, 16));
  }
}

void record(BatchSummary& summary, int part, const PartResult& result) {
  if (result.outcome == PartOutcome::downloaded) {
    summary.downloaded.push_back(part);
  } else if (result.outcome == PartOutcome::alreadyComplete) {
    summary.alreadyComplete.push_back(part);
  } else {
    summary.failed.push_back(part);
  }
}

// The number in a part box; full-width digits count as digits.
int partNumberIn(WindowPort& window, EditBox box) { return textToInt(utf8ToGbk(window.readEditBox(box))); }

}  // namespace

std::unique_ptr<PartResolver> makeResolver(const PartSource& source) {
  if (source.kind == PartSource::Kind::parseService) {
    return std::make_unique<ParseServiceResolver>(utf8ToGbk(source.base));
  }
  return std::make_unique<SitePartResolver>(source.base);
}

PartResult processPart(WindowPort& window, PartResolver& resolver, const std::string& address, int part,
                       bool resume) {
  const Text partNumber = intToText(part);
  window.setLabel(Label::status, statusLine(Phrase::parseStarting, partNumber, Phrase::parseStartingEnd));
  const PartResolution resolution = resolver.resolve(address, part);
  if (const auto* refusal = std::get_if<PartRefusal>(&resolution)) {
    window.setLabel(Label::status, refusal->statusLine);
    if (!refusal->endsBatch) pauseResponsive(1000);
    return {PartOutcome::notResolved, refusal->worthRetrying, false, refusal->endsBatch};
  }

  const auto& links = std::get<PartLinks>(resolution);
  window.setLabel(Label::status, statusLine(Phrase::parseDone, partNumber, Phrase::parseDoneEnd));
  if (links.nameLeavesFolder) {
    window.showMessage(phrase(Phrase::cannotOpenFile), phrase(Phrase::messageCaption));
    return {PartOutcome::unsafeFileName};
  }
  // The folder is used exactly as typed.
  const std::filesystem::path path =
      std::filesystem::u8path(window.readEditBox(EditBox::folder) + storableFileName(links.fileName));
  return download(window, links, path, resume);
}

BatchSummary runBatch(WindowPort& window, const PartSource& source, const BatchOptions& options) {
  const std::unique_ptr<PartResolver> resolver = makeResolver(source);
  BatchSummary summary;
  // The first number is read once; the last number and the address are read
  // anew for every part, so the user can change them while the batch runs.
  for (int part = partNumberIn(window, EditBox::firstPart); part <= partNumberIn(window, EditBox::lastPart);
       ++part) {
    if (resolver->pastLastPart(part)) break;
    const std::string address = window.readEditBox(EditBox::pageUrl);
    const PartResult result = processPartWithRetries(window, *resolver, address, part, options);
    record(summary, part, result);
    if (result.endsBatch || part == std::numeric_limits<int>::max()) break;  // or the next number would wrap
  }
  window.setLabel(Label::status, phrase(Phrase::batchDone));
  return summary;
}

bool startBatch(std::shared_ptr<WindowPort> window, PartSource source) {
  try {
    std::thread([window = std::move(window), source = std::move(source)] {
      runBatch(*window, source);
    }).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace pindlewick
