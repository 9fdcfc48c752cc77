// A window that writes nothing on screen but remembers, in order, what was
// written to it, in UTF-8 so expectations read as the user would see them.
#pragma once

#include <string>
#include <vector>

#include "download/window_port.h"
#include "text/codepage.h"

namespace pindlewick::testing {

class RecordingWindow : public WindowPort {
 public:
  std::vector<std::string> events;

  Text readEditBox(EditBox) override { return {}; }
  void setLabel(Label label, TextView caption) override {
    events.push_back(std::string(controlName(label)) + " " + gbkToUtf8(caption));
  }
  void setProgressBar(int position) override {
    events.push_back(std::string(kProgressBarName) + " " + std::to_string(position));
  }
  void showMessage(TextView message, TextView caption) override {
    events.push_back(gbkToUtf8(caption) + " " + gbkToUtf8(message));
  }
};

}  // namespace pindlewick::testing
