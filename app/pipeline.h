// The batch: for each part number, find the part's media link and name (from
// the parse service or the site's API), then download the file into the save
// folder. Everything here runs on the worker thread that started the batch
// and talks to the window only through its WindowPort.
#pragma once

#include <memory>
#include <vector>

#include "app/part_resolver.h"
#include "app/window_port.h"
#include "text/text.h"

namespace pindlewick {

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
  notResolved,
  unsafeFileName,
  downloadFailed,
  failedWithException,
};

struct PartResult {
  PartOutcome outcome = PartOutcome::notResolved;
  // Failed for a passing reason: trying again may succeed.
  bool worthRetrying = false;
  // This attempt wrote into the part's file, so a retry continues it.
  bool fileStarted = false;
  // No later part could do better: the batch ends here.
  bool endsBatch = false;

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

// One attempt at one part of the video at address (UTF-8, as typed). With
// resume, an existing file is continued from its size.
PartResult processPart(WindowPort& window, PartResolver& resolver, const std::string& address,
                       int part, bool resume = false);
BatchSummary runBatch(WindowPort& window, const PartSource& source, const BatchOptions& options = {});

// The click on the start button: runs one batch on a new thread that nothing
// waits for. The window port is shared so that it outlives the thread. False
// when no thread could be started (nothing has run).
bool startBatch(std::shared_ptr<WindowPort> window, PartSource source);

}  // namespace pindlewick
