// The batch: for each part number, ask the parse service for the part's media
// link and title, then download the file into the save folder. Everything
// here runs on the worker thread that started the batch and talks to the
// window only through its WindowPort.
#pragma once

#include <memory>
#include <vector>

#include "app/window_port.h"
#include "text/text.h"

namespace pindlewick {

// The parse service's endpoint under a base address (scheme, host, port).
Text serviceEndpoint(TextView serviceBase);

// What the command line may ask beyond the window's behaviour; the window
// runs with the defaults.
struct BatchOptions {
  // A part whose file exists is resumed from the file's size.
  bool continueParts = false;
  // A part that fails for a passing reason is tried again up to this many
  // times, after 1, 2, 4, ... seconds.
  int retries = 0;
};

enum class PartOutcome {
  downloaded,
  alreadyComplete,
  noAnswer,
  markersMissing,
  unsafeFileName,
  downloadFailed,
  failedWithException,
};

struct PartResult {
  PartOutcome outcome = PartOutcome::noAnswer;
  // Failed for a passing reason: trying again may succeed.
  bool worthRetrying = false;
  // This attempt wrote into the part's file, so a retry continues it.
  bool fileStarted = false;

  bool succeeded() const {
    return outcome == PartOutcome::downloaded || outcome == PartOutcome::alreadyComplete;
  }
};

// The part numbers by how each part ended.
struct BatchSummary {
  std::vector<int> downloaded;
  std::vector<int> alreadyComplete;
  std::vector<int> failed;

  int partsTried() const {
    return static_cast<int>(downloaded.size() + alreadyComplete.size() + failed.size());
  }
};

// One attempt at one part. With resume, an existing file is continued from
// its size.
PartResult processPart(WindowPort& window, TextView endpoint, TextView pageUrl,
                       TextView partNumber, bool resume = false);
BatchSummary runBatch(WindowPort& window, TextView endpoint, const BatchOptions& options = {});

// The click on the start button: runs one batch on a new thread that nothing
// waits for. The window port is shared so that it outlives the thread. False
// when no thread could be started (nothing has run).
bool startBatch(std::shared_ptr<WindowPort> window, Text endpoint);

}  // namespace pindlewick
