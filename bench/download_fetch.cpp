// Downloads one URL into one file the way the window does, with the progress
// row going to a window that draws nothing. run_all.sh times it against curl
// and wget.
#include <cstdio>
#include <optional>

#include "app/progress_display.h"
#include "download/download.h"
#include "text/codepage.h"

namespace {

class SilentWindow : public pindlewick::WindowPort {
 public:
  std::string readEditBox(pindlewick::EditBox) override { return {}; }
  void setLabel(pindlewick::Label, pindlewick::TextView) override {}
  void setProgressBar(int) override {}
  void showMessage(pindlewick::TextView, pindlewick::TextView) override {}
};

class ProgressToWindow : public pindlewick::DownloadListener {
 public:
  void onProgress(const pindlewick::ProgressReport& report) override {
    pindlewick::showProgress(window_, report);
  }
  void onFailure(pindlewick::TextView message) override {
    std::fprintf(stderr, "%s\n", pindlewick::gbkToUtf8(message).c_str());
  }

 private:
  SilentWindow window_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s URL FILE\n", argv[0]);
    return 2;
  }
  ProgressToWindow listener;
  // The URL is ASCII, the same in code page 936.
  const pindlewick::Text url{std::string(argv[1])};
  return pindlewick::downloadFile(url, argv[2], listener, std::nullopt).succeeded() ? 0 : 1;
}
