// Saves pictures of the real window, drawn offscreen, into FOLDER:
// 1-started.png before the click, 2-downloading.png while a large file
// streams in from nginx on 127.0.0.1, 3-finished.png once the status line
// says "任务完成。". scripts/screenshots.sh builds and runs it.
#include <QPixmap>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/window_session.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Large enough that the bar passes through the middle over several of the
// window's refreshes even at loopback speed.
constexpr std::uintmax_t kMediaBytes = 1ull << 30;

bool save(pindlewick::MainWindow& window, const fs::path& file) {
  if (window.grab().save(QString::fromStdString(file.string()), "PNG")) {
    std::printf("%s\n", file.c_str());
    return true;
  }
  std::fprintf(stderr, "cannot write %s\n", file.c_str());
  return false;
}

bool midDownload(const pindlewick::WindowSession& session) {
  return session.progress() >= 40 && session.progress() <= 60;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const fs::path folder = argv[1];
  fs::create_directories(folder);

  pindlewick::testing::TempDir media;
  const fs::path mediaFile = media.path() / "part1.mp4";
  std::ofstream(mediaFile).close();
  fs::resize_file(mediaFile, kMediaBytes);  // sparse: no disk space on the server's side
  pindlewick::testing::NginxServer nginx(media.path());
  pindlewick::WindowSession session(nginx.url("/part1.mp4"));

  if (!save(session.window(), folder / "1-started.png")) return 1;
  session.clickStart();
  if (!session.serveUntil([&] { return midDownload(session) || session.finished(); }, 60s) ||
      !midDownload(session)) {
    std::fprintf(stderr, "the window never showed the download half way\n");
    return 1;
  }
  if (!save(session.window(), folder / "2-downloading.png")) return 1;
  if (!session.serveUntil([&] { return session.finished(); }, 120s)) {
    std::fprintf(stderr, "the batch did not finish\n");
    return 1;
  }
  return save(session.window(), folder / "3-finished.png") ? 0 : 1;
}
