// The progress row of the window: speed, bar and percentage.
#pragma once

#include "app/window_port.h"
#include "download/download.h"

namespace pindlewick {

// Writes the speed, the bar position and the percentage of one progress report
// into the window, in that order. Without a content length only the speed.
void showProgress(WindowPort& window, const ProgressReport& report);

}  // namespace pindlewick
