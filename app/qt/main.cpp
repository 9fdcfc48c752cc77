// Starts the window; `--service BASE` points it at a parse service.
#include <QApplication>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/initial_state.h"
#include "app/pipeline.h"
#include "app/qt/main_window.h"
#include "text/codepage.h"

int main(int argc, char* argv[]) {
  // Past a file-size limit a write then fails with EFBIG, so the part fails
  // with a message and the batch goes on instead of the signal ending it.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication application(argc, argv);
  pindlewick::Text serviceBase = pindlewick::defaultServiceBase();
  const QStringList arguments = QApplication::arguments();
  const qsizetype service = arguments.indexOf("--service");
  if (service >= 0 && service + 1 < arguments.size()) {
    serviceBase = pindlewick::utf8ToGbk(arguments[service + 1].toStdString());
  }

  auto state = std::make_shared<pindlewick::WindowState>(pindlewick::initialWindowState());
  pindlewick::MainWindow window(state, pindlewick::serviceEndpoint(serviceBase));
  window.show();
  const int status = QApplication::exec();

  // Closing the window ends the program at once: batches still running are
  // not waited for, and no destructor races with them.
  state->shutDown();
  std::fflush(nullptr);
  std::_Exit(status);
}
