// The real window, offscreen.
#include "app/qt/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <vector>

#include "app/initial_state.h"
#include "app/pipeline.h"
#include "tests/app/parse_service.h"
#include "tests/app/reachable_texts.h"
#include "text/codepage.h"

namespace pindlewick {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "main_window_test";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
  }

  template <typename Control>
  Control* control(const char* name) {
    auto* found = window.findChild<Control*>(QString::fromUtf8(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  // Serves the window until the status line shows text, or 30 s pass.
  bool serveUntilStatus(const QString& text) {
    QElapsedTimer clock;
    clock.start();
    while (control<QLabel>("标签5")->text() != text && clock.elapsed() < 30000) {
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return control<QLabel>("标签5")->text() == text;
  }

  testing::ParseService service{{"--title", "2", "../outside"}};
  std::shared_ptr<WindowState> state = std::make_shared<WindowState>(initialWindowState());
  MainWindow window{state, service.source()};
};

TEST_F(MainWindowTest, StartsWithTheInitialControls) {
  EXPECT_EQ(window.windowTitle(), "Pindlewick");
  struct Expected {
    const char* name;
    QRect geometry;
    QString text;
  };
  const QString home = QString::fromLocal8Bit(qgetenv("HOME"));
  const Expected labels[] = {
      {"标签1", {8, 8, 32, 24}, "URL："},       {"标签2", {8, 40, 24, 24}, "从P"},
      {"标签3", {88, 40, 56, 24}, "下载到P"},   {"标签4", {8, 72, 64, 24}, "保存位置："},
      {"标签5", {8, 144, 360, 24}, "下载未开始"}, {"标签7", {240, 168, 48, 24}, ""},
      {"标签6", {288, 168, 92, 24}, "下载速度"},
  };
  for (const Expected& e : labels) {
    QLabel* label = control<QLabel>(e.name);
    EXPECT_EQ(label->geometry(), e.geometry) << e.name;
    EXPECT_EQ(label->text(), e.text) << e.name;
  }
  const Expected edits[] = {
      {"编辑框1", {40, 8, 328, 20}, "https://www.bilibili.com/video/BV1yA41147QJ"},
      {"编辑框2", {40, 40, 40, 20}, "1"},
      {"编辑框3", {136, 40, 40, 20}, "116"},
      {"编辑框4", {72, 72, 296, 20}, home + "/PR教程/"},
  };
  for (const Expected& e : edits) {
    QLineEdit* edit = control<QLineEdit>(e.name);
    EXPECT_EQ(edit->geometry(), e.geometry) << e.name;
    EXPECT_EQ(edit->text(), e.text) << e.name;
  }
  QPushButton* button = control<QPushButton>("按钮1");
  EXPECT_EQ(button->geometry(), QRect(0, 104, 376, 32));
  EXPECT_EQ(button->text(), "开始下载");
  QProgressBar* bar = control<QProgressBar>("进度条1");
  EXPECT_EQ(bar->geometry(), QRect(0, 168, 240, 24));
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 100);
  EXPECT_FALSE(bar->isTextVisible());
}

// Every label shows the widest text it can be given whole: every pixel the
// text covers, in the font the label draws it with, lies inside the label.
TEST_F(MainWindowTest, EveryLabelHoldsItsWidestTextWhole) {
  window.show();  // styled and laid out as the user sees it
  for (const testing::ReachableTexts& reachable : testing::reachableLabelTexts()) {
    QLabel* label = control<QLabel>(reachable.name);
    const QRect room = label->contentsRect();
    const QFontMetrics metrics = label->fontMetrics();
    for (const std::string& text : reachable.texts) {
      const QRect ink = metrics.boundingRect(QString::fromStdString(text));  // drawn from the left of the room
      EXPECT_TRUE(ink.left() >= 0 && ink.right() < room.width())
          << reachable.name << " \"" << text << "\" covers x " << ink.left() << ".."
          << ink.right() << " of 0.." << room.width() - 1 << " in " << QFontInfo(label->font()).family().toStdString()
          << " " << QFontInfo(label->font()).pixelSize() << "px";
    }
    EXPECT_LE(metrics.height(), room.height()) << reachable.name;
    EXPECT_TRUE(label->geometry().right() < window.width() && label->geometry().bottom() < window.height())
        << reachable.name << " lies inside the window";
  }
}

TEST_F(MainWindowTest, TypingReachesTheWorkersAndWritesReachTheWindow) {
  control<QLineEdit>("编辑框3")->setText("7");
  EXPECT_EQ(state->readEditBox(EditBox::lastPart), "7");
  control<QLineEdit>("编辑框4")->setText("/tmp/中文/");
  EXPECT_EQ(state->readEditBox(EditBox::folder), "/tmp/中文/");

  // Many writes between two refreshes: the window shows the last of each.
  for (int i = 0; i <= 100; ++i) {
    state->setProgressBar(i);
    state->setLabel(Label::percent, intToText(i) + "%");
  }
  state->setLabel(Label::status, utf8ToGbk("任务完成。"));
  window.refresh();
  EXPECT_EQ(control<QProgressBar>("进度条1")->value(), 100);
  EXPECT_EQ(control<QLabel>("标签7")->text(), "100%");
  EXPECT_EQ(control<QLabel>("标签5")->text(), "任务完成。");

  state->setProgressBar(250);  // a resumed download can pass 100%: the bar stays full
  window.refresh();
  EXPECT_EQ(control<QProgressBar>("进度条1")->value(), 100);
}

TEST_F(MainWindowTest, ClickRunsABatchAndAMessageWaitsForOk) {
  testing::TempDir folder;
  control<QLineEdit>("编辑框1")->setText("https://www.example.com/video/BV1");
  control<QLineEdit>("编辑框2")->setText("1");
  control<QLineEdit>("编辑框3")->setText("2");
  control<QLineEdit>("编辑框4")->setText(QString::fromStdString(folder.path().string() + "/"));

  // The second part's title would leave the folder: its message box is answered by
  // pressing OK once it shows, and the batch then ends. Until OK the worker
  // waits, so the last status it wrote is still the one before the message.
  QString messageSeen;
  std::string statusWhileAsked;
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    for (auto* box : window.findChildren<QMessageBox*>()) {
      if (!box->isVisible()) continue;
      messageSeen = box->windowTitle() + box->text();
      statusWhileAsked = gbkToUtf8(state->snapshot().labels[static_cast<std::size_t>(Label::status)]);
      box->button(QMessageBox::Ok)->click();
    }
  });
  answerer.start(20);

  control<QPushButton>("按钮1")->click();
  ASSERT_TRUE(serveUntilStatus("任务完成。"));
  EXPECT_EQ(messageSeen, "信息：不能打开本地的文件!");
  EXPECT_EQ(statusWhileAsked, "解析2P完成，正在下载。") << "the worker goes on only after OK";
  EXPECT_EQ(control<QProgressBar>("进度条1")->value(), 100);
  EXPECT_EQ(control<QLabel>("标签7")->text(), "100%");
  EXPECT_EQ(std::filesystem::file_size(folder.path() / "第1集 教程.mp4"),
            testing::kParseServiceMediaSize);
}

}  // namespace
}  // namespace pindlewick
