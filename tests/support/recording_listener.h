// A download listener that remembers every report and, in UTF-8 behind the
// caption as a window would show them, every failure.
#pragma once

#include <string>
#include <vector>

#include "download/download.h"
#include "text/codepage.h"
#include "text/phrases.h"

namespace pindlewick::testing {

class RecordingListener : public DownloadListener {
 public:
  std::vector<ProgressReport> reports;
  std::vector<std::string> messages;

  void onProgress(const ProgressReport& report) override { reports.push_back(report); }
  void onFailure(TextView message) override {
    messages.push_back(gbkToUtf8(phrase(Phrase::messageCaption)) + " " + gbkToUtf8(message));
  }
};

}  // namespace pindlewick::testing
