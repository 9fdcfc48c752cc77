// Starts the window. Parts are resolved by the site's own API (`--site BASE`
// replaces its address) unless `--service BASE` names a parse service.
#include <QApplication>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/initial_state.h"
#include "app/pipeline.h"
#include "app/qt/main_window.h"

int main(int argc, char* argv[]) {
  // Past a file-size limit a write then fails with EFBIG, so the part fails
  // with a message and the batch goes on instead of the signal ending it.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication application(argc, argv);
  const QStringList arguments = QApplication::arguments();
  const auto option = [&arguments](const char* name) -> std::optional<std::string> {
    const qsizetype at = arguments.indexOf(name);
    if (at < 0 || at + 1 >= arguments.size()) return std::nullopt;
    return arguments[at + 1].toStdString();
  };

  auto state = std::make_shared<pindlewick::WindowState>(pindlewick::initialWindowState());
  pindlewick::MainWindow window(state, pindlewick::partSourceFor(option("--service"), option("--site")));
  window.show();
  const int status = QApplication::exec();

  // Closing the window ends the program at once: batches still running are
  // not waited for, and no destructor races with them.
  state->shutDown();
  std::fflush(nullptr);
  std::_Exit(status);
}
