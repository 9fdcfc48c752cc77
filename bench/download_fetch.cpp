// Downloads one URL into one file the way the pipeline does, with the progress
// row going to a window that draws nothing. run_all.sh times it against curl
// and wget.
#include <cstdio>
#include <optional>

#include "download/download.h"
#include "text/codepage.h"

namespace {

class SilentWindow : public pindlewick::WindowPort {
 public:
  std::string readEditBox(pindlewick::EditBox) override { return {}; }
  void setLabel(pindlewick::Label, pindlewick::TextView) override {}
  void setProgressBar(int) override {}
  void showMessage(pindlewick::TextView message, pindlewick::TextView) override {
    std::fprintf(stderr, "%s\n", pindlewick::gbkToUtf8(message).c_str());
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s URL FILE\n", argv[0]);
    return 2;
  }
  SilentWindow window;
  const pindlewick::ProgressCallback progress = [&window](const pindlewick::ProgressReport& report) {
    pindlewick::showProgress(window, report);
  };
  return pindlewick::downloadFile(argv[1], argv[2], progress, std::nullopt, window) == 0 ? 0 : 1;
}
