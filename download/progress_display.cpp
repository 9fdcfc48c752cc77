#include "download/download.h"

namespace pindlewick {
namespace {

constexpr TextView kSpeedUnit = "KB/\xc3\xeb";  // KB/秒 in code page 936

}  // namespace

void showProgress(WindowPort& window, int contentLength, int totalBytes, int elapsedMs,
                  int receivedBytes) {
  const double speed = receivedBytes * 1000.0 / 1024.0 / elapsedMs;
  window.setLabel(Label::speed, concatText({roundedToHundredthsText(speed), kSpeedUnit}));
  // Without a length there is no share to show; the bar and the percentage
  // keep what they showed.
  if (contentLength == 0) return;
  const double percent = totalBytes * 100.0 / contentLength;
  window.setProgressBar(truncateToInt32(percent));
  window.setLabel(Label::percent, concatText({roundedToHundredthsText(percent), "%"}));
}

}  // namespace pindlewick
