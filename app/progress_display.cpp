#include "app/progress_display.h"

#include "text/phrases.h"

namespace pindlewick {

void showProgress(WindowPort& window, const ProgressReport& report) {
  const double speed =
      static_cast<double>(report.receivedBytes) * 1000.0 / 1024.0 / report.elapsedMs;
  window.setLabel(Label::speed, concatText({roundedToHundredthsText(speed), phrase(Phrase::speedUnit)}));
  // Without a length there is no share to show; the bar and the percentage
  // keep what they showed.
  if (report.contentLength == 0) return;
  const double percent =
      static_cast<double>(report.totalBytes) * 100.0 / static_cast<double>(report.contentLength);
  window.setProgressBar(truncateToInt32(percent));
  window.setLabel(Label::percent, concatText({roundedToHundredthsText(percent), "%"}));
}

}  // namespace pindlewick
