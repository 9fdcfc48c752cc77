// The batch: for each part number, ask the parse service for the part's media
// link and title, then download the file into the save folder. Everything
// here runs on the worker thread that started the batch and talks to the
// window only through its WindowPort.
#pragma once

#include <memory>

#include "download/window_port.h"
#include "text/text.h"

namespace pindlewick {

// The parse service's endpoint under a base address (scheme, host, port).
Text serviceEndpoint(TextView serviceBase);

enum class PartOutcome {
  downloaded,
  noAnswer,
  markersMissing,
  unsafeFileName,
  downloadFailed,
  failedWithException,
};

struct BatchSummary {
  int partsTried = 0;
  int partsFailed = 0;
};

PartOutcome processPart(WindowPort& window, TextView endpoint, TextView pageUrl,
                        TextView partNumber);
BatchSummary runBatch(WindowPort& window, TextView endpoint);

// The click on the start button: runs one batch on a new thread that nothing
// waits for. The window port is shared so that it outlives the thread. False
// when no thread could be started (the window says so; nothing has run).
bool startBatch(std::shared_ptr<WindowPort> window, Text endpoint);

}  // namespace pindlewick
