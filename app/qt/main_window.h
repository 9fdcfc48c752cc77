// The program's only window. It shows the shared WindowState, which the batch
// workers write, at its own pace, and feeds what the user types back into it.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

#include "app/part_resolver.h"
#include "app/window_state.h"

class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QTimer;

namespace pindlewick {

class MainWindow : public QWidget {
 public:
  MainWindow(std::shared_ptr<WindowState> state, PartSource source);

  // Shows what the workers wrote since the last refresh, then any message
  // that waits; the window's timer calls it, tests may call it directly.
  void refresh();

 private:
  QLineEdit* addEditBox(EditBox box, int left, int top, int width);
  QLabel* addLabel(const char* name, int left, int top, int width, TextView caption);
  QMessageBox* showNonModalMessage(TextView text, TextView caption);
  void showWaitingMessages();
  void closeEvent(QCloseEvent* event) override;

  std::shared_ptr<WindowState> state_;
  PartSource source_;
  std::array<QLabel*, 3> labels_{};  // by Label
  QProgressBar* progressBar_ = nullptr;
  QTimer* refreshTimer_ = nullptr;
  std::uint64_t shownVersion_ = 0;
};

}  // namespace pindlewick
