#include "app/qt/main_window.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <algorithm>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/pipeline.h"
#include "text/phrases.h"
#include "text/codepage.h"

namespace pindlewick {
namespace {

// Code page 936 texts cross into Qt here and nowhere else.
QString toQt(TextView gbk) { return QString::fromStdString(gbkToUtf8(gbk)); }

// Workers may write a progress row per 10 KB block; the window repaints it at
// most this often and always ends on the last value written.
constexpr int kRefreshMs = 50;

// Every control has a fixed place and size in pixels, so the texts get a
// fixed font sized in pixels too: the CJK font the program ships with, not
// whatever a desktop prefers, so that what fits here fits everywhere.
QFont fixedFont(int pixels) {
  QFont font("WenQuanYi Micro Hei");
  font.setPixelSize(pixels);
  return font;
}
constexpr int kTextPixels = 12;
// The percentage and the speed share the 140 pixels beside the bar: a pixel
// smaller, "100.00%" and "999999.99KB/秒" both fit with a gap between them.
constexpr int kProgressRowTextPixels = 11;

}  // namespace

MainWindow::MainWindow(std::shared_ptr<WindowState> state, PartSource source)
    : state_(std::move(state)), source_(std::move(source)) {
  setWindowTitle("Pindlewick");
  setGeometry(50, 50, 380, 250);
  setFont(fixedFont(kTextPixels));
  const WindowState::Snapshot initial = state_->snapshot();

  addLabel("标签1", 8, 8, 32, phrase(Phrase::urlLabel));
  addEditBox(EditBox::pageUrl, 40, 8, 328);
  addLabel("标签2", 8, 40, 24, phrase(Phrase::fromPartLabel));
  addEditBox(EditBox::firstPart, 40, 40, 40);
  addLabel("标签3", 88, 40, 56, phrase(Phrase::toPartLabel));
  addEditBox(EditBox::lastPart, 136, 40, 40);
  addLabel("标签4", 8, 72, 64, phrase(Phrase::folderLabel));
  addEditBox(EditBox::folder, 72, 72, 296);

  auto* start = new QPushButton(toQt(phrase(Phrase::startButton)), this);
  start->setObjectName("按钮1");
  start->setGeometry(0, 104, 376, 32);
  connect(start, &QPushButton::clicked, this, [this] {
    if (!startBatch(state_, source_)) {
      showNonModalMessage(phrase(Phrase::cannotStartBatch), phrase(Phrase::messageCaption));
    }
  });

  labels_[static_cast<std::size_t>(Label::status)] =
      addLabel("标签5", 8, 144, 360, initial.labels[static_cast<std::size_t>(Label::status)]);
  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName("进度条1");
  progressBar_->setGeometry(0, 168, 240, 24);
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  // Both reach into the free space on their right: the percentage up to the
  // speed, the speed up to the window's edge.
  labels_[static_cast<std::size_t>(Label::percent)] =
      addLabel("标签7", 240, 168, 48, initial.labels[static_cast<std::size_t>(Label::percent)]);
  labels_[static_cast<std::size_t>(Label::speed)] =
      addLabel("标签6", 288, 168, 92, initial.labels[static_cast<std::size_t>(Label::speed)]);
  for (const Label row : {Label::percent, Label::speed}) {
    labels_[static_cast<std::size_t>(row)]->setFont(fixedFont(kProgressRowTextPixels));
  }

  refreshTimer_ = new QTimer(this);
  connect(refreshTimer_, &QTimer::timeout, this, &MainWindow::refresh);
  refreshTimer_->start(kRefreshMs);
}

QLineEdit* MainWindow::addEditBox(EditBox box, int left, int top, int width) {
  auto* edit = new QLineEdit(QString::fromStdString(state_->readEditBox(box)), this);
  edit->setObjectName(QString::fromUtf8(controlName(box).data(),
                                        static_cast<qsizetype>(controlName(box).size())));
  edit->setGeometry(left, top, width, 20);
  connect(edit, &QLineEdit::textChanged, this,
          [this, box](const QString& text) { state_->setEditBox(box, text.toStdString()); });
  return edit;
}

QLabel* MainWindow::addLabel(const char* name, int left, int top, int width, TextView caption) {
  auto* label = new QLabel(toQt(caption), this);
  label->setObjectName(QString::fromUtf8(name));
  label->setGeometry(left, top, width, 24);
  return label;
}

void MainWindow::refresh() {
  const WindowState::Snapshot now = state_->snapshot();
  if (now.version != shownVersion_) {
    shownVersion_ = now.version;
    for (std::size_t i = 0; i < labels_.size(); ++i) {
      const QString caption = toQt(now.labels[i]);
      if (labels_[i]->text() != caption) labels_[i]->setText(caption);
    }
    // Positions outside 0..100 show as a full or an empty bar.
    progressBar_->setValue(std::clamp(now.progressBar, 0, 100));
  }
  showWaitingMessages();
}

// Each message gets a box of its own that does not block the window: the
// user can still close the program while a worker waits for OK.
QMessageBox* MainWindow::showNonModalMessage(TextView text, TextView caption) {
  auto* box = new QMessageBox(QMessageBox::NoIcon, toQt(caption), toQt(text), QMessageBox::Ok, this);
  box->setWindowModality(Qt::NonModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->show();
  return box;
}

void MainWindow::showWaitingMessages() {
  while (const std::optional<WindowState::Message> message = state_->nextMessage()) {
    QMessageBox* box = showNonModalMessage(message->text, message->caption);
    connect(box, &QMessageBox::finished, this,
            [state = state_, id = message->id] { state->answerMessage(id); });
  }
}

// Closing the window ends the program, whatever boxes are still open.
void MainWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  QApplication::quit();
}

}  // namespace pindlewick
