#include "bench/window_session.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <stdexcept>

#include "app/initial_state.h"
#include "app/pipeline.h"

namespace pindlewick {
namespace {

// The one application of the process, made before the first widget; the
// offscreen platform needs no display.
void ensureApplication() {
  if (QApplication::instance() != nullptr) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "pindlewick";
  static char* argv[] = {name, nullptr};
  static QApplication application(argc, argv);
}

std::shared_ptr<WindowState> freshState() {
  ensureApplication();
  return std::make_shared<WindowState>(initialWindowState());
}

}  // namespace

WindowSession::WindowSession(const std::string& mediaUrl)
    : service_({"--link", "1", mediaUrl}),
      state_(freshState()),
      window_(state_, service_.source()) {
  control<QLineEdit>("编辑框2").setText("1");
  control<QLineEdit>("编辑框3").setText("1");
  control<QLineEdit>("编辑框4").setText(QString::fromStdString(folder_.path().string() + "/"));
  window_.show();
}

template <typename Control>
Control& WindowSession::control(const char* name) const {
  auto* found = window_.findChild<Control*>(QString::fromUtf8(name));
  if (found == nullptr) throw std::logic_error(std::string("the window has no ") + name);
  return *found;
}

void WindowSession::clickStart() { control<QPushButton>("按钮1").click(); }

QString WindowSession::status() const { return control<QLabel>("标签5").text(); }

int WindowSession::progress() const { return control<QProgressBar>("进度条1").value(); }

bool WindowSession::finished() const { return status() == "任务完成。"; }

std::uintmax_t WindowSession::savedBytes() const {
  std::uintmax_t total = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) total += entry.file_size();
  return total;
}

bool WindowSession::serveUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  check.start(10);
  QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
  loop.exec();
  return done();
}

}  // namespace pindlewick
