// A window that writes nothing on screen but remembers, in order, what was
// written to it, in UTF-8 so expectations read as the user would see them.
// Its edit boxes hold what the test puts in them.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/window_port.h"
#include "text/codepage.h"

namespace pindlewick::testing {

class RecordingWindow : public WindowPort {
 public:
  std::vector<std::string> events;
  std::array<std::string, 4> editBoxes;  // in EditBox order, UTF-8

  std::string readEditBox(EditBox box) override { return editBoxes.at(static_cast<std::size_t>(box)); }
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
