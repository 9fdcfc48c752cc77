// The real Win32 window under Wine, on the X display and against the stand-in
// parse service (started with "--title 2 ../outside") that
// window_under_wine.py starts on the Linux side and names in the environment:
// DISPLAY, PINDLEWICK_TEST_SERVICE (the service's base) and
// PINDLEWICK_TEST_PROGRAM (pindlewick.exe, as a Windows path).
#include "app/win32/main_window.h"

#include <gtest/gtest.h>

// after windows.h
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/initial_state.h"
#include "tests/app/reachable_texts.h"
#include "text/codepage.h"

namespace pindlewick {
namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kParseServiceMediaSize = 50000;
constexpr auto kPatience = std::chrono::seconds(30);

std::wstring wide(std::string_view utf8) {
  std::wstring text(utf8.size(), L'\0');
  text.resize(static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                              text.data(), static_cast<int>(text.size()))));
  return text;
}

std::string utf8(const std::wstring& wide) {
  std::string text(wide.size() * 3, '\0');
  text.resize(static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                                              text.data(), static_cast<int>(text.size()), nullptr,
                                                              nullptr)));
  return text;
}

std::string textOf(HWND window) {
  std::wstring text(1024, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return utf8(text);
}

std::string classOf(HWND window) {
  std::wstring name(256, L'\0');
  name.resize(static_cast<std::size_t>(::GetClassNameW(window, name.data(), static_cast<int>(name.size()))));
  return utf8(name);
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The place of a control in its parent's client area.
RECT placeOf(HWND control) {
  RECT place;
  ::GetWindowRect(control, &place);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

// Handles this thread's window messages until done() holds or kPatience
// passes; whether done() held.
bool serveUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  return true;
}

// A visible message box ("#32770") titled caption, of the process given.
HWND findMessageBox(const std::string& caption, DWORD process = ::GetCurrentProcessId()) {
  struct Search {
    std::string caption;
    DWORD process;
    HWND found = nullptr;
  } search{caption, process};
  ::EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* search = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == search->process && ::IsWindowVisible(window) && classOf(window) == "#32770" &&
            textOf(window) == search->caption) {
          search->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The text of a message box (its static text control's ID is 0xFFFF).
std::string messageBoxText(HWND box) { return textOf(::GetDlgItem(box, 0xFFFF)); }

// A scratch folder whose name code page 936 cannot hold, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder()
      : path_(fs::temp_directory_path() /
              (L"窗口 søren 동영상 " + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(count_++))) {
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }
  // As typed into the folder box: with its trailing separator.
  std::string typed() const { return utf8(path_.wstring() + L"\\"); }

 private:
  static inline int count_ = 0;
  fs::path path_;
};

class Win32WindowTest : public ::testing::Test {
 protected:
  HWND control(const char* name) {
    HWND found = ::GetDlgItem(window.handle(), controlId(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  std::string text(const char* name) { return textOf(control(name)); }
  void type(const char* name, std::string_view utf8) { ::SetWindowTextW(control(name), wide(utf8).c_str()); }
  int barPosition() { return static_cast<int>(::SendMessageW(control("进度条1"), PBM_GETPOS, 0, 0)); }

  std::shared_ptr<WindowState> state = std::make_shared<WindowState>(initialWindowState());
  Win32Window window{state, {PartSource::Kind::parseService, environment("PINDLEWICK_TEST_SERVICE")}};
};

TEST_F(Win32WindowTest, StartsWithTheInitialControls) {
  EXPECT_EQ(textOf(window.handle()), "Pindlewick");
  RECT client;
  ::GetClientRect(window.handle(), &client);
  EXPECT_EQ(client.right, 380);
  EXPECT_EQ(client.bottom, 250);
  struct Expected {
    const char* name;
    const char* className;
    RECT place;
    std::string text;
  };
  const Expected controls[] = {
      {"标签1", "Static", {8, 8, 40, 32}, "URL："},
      {"标签2", "Static", {8, 40, 32, 64}, "从P"},
      {"标签3", "Static", {88, 40, 144, 64}, "下载到P"},
      {"标签4", "Static", {8, 72, 72, 96}, "保存位置："},
      {"标签5", "Static", {8, 144, 368, 168}, "下载未开始"},
      {"标签7", "Static", {240, 168, 288, 192}, ""},
      {"标签6", "Static", {288, 168, 380, 192}, "下载速度"},
      {"编辑框1", "Edit", {40, 8, 368, 28}, "https://www.bilibili.com/video/BV1yA41147QJ"},
      {"编辑框2", "Edit", {40, 40, 80, 60}, "1"},
      {"编辑框3", "Edit", {136, 40, 176, 60}, "116"},
      {"编辑框4", "Edit", {72, 72, 368, 92}, "E:\\PR教程\\"},
      {"按钮1", "Button", {0, 104, 376, 136}, "开始下载"},
      {"进度条1", "msctls_progress32", {0, 168, 240, 192}, ""},
  };
  for (const Expected& e : controls) {
    HWND found = control(e.name);
    const RECT place = placeOf(found);
    EXPECT_EQ(classOf(found), e.className) << e.name;
    EXPECT_TRUE(place.left == e.place.left && place.top == e.place.top && place.right == e.place.right &&
                place.bottom == e.place.bottom)
        << e.name << " at " << place.left << "," << place.top << " to " << place.right << "," << place.bottom;
    EXPECT_EQ(textOf(found), e.text) << e.name;
  }
  PBRANGE range{};
  ::SendMessageW(control("进度条1"), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 100);
  EXPECT_EQ(barPosition(), 0);
  EXPECT_EQ(controlId("标签8"), 0);
}

// Every label shows the widest text it can be given whole, in a face that
// holds every one of its characters.
TEST_F(Win32WindowTest, EveryLabelHoldsItsWidestTextWhole) {
  std::vector<testing::ReachableTexts> labels = testing::reachableLabelTexts();
  labels.push_back({"按钮1", {"开始下载"}});
  for (const testing::ReachableTexts& reachable : labels) {
    HWND label = control(reachable.name);
    RECT room;
    ::GetClientRect(label, &room);
    HDC context = ::GetDC(label);
    const HGDIOBJ previous =
        ::SelectObject(context, reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0)));
    std::wstring face(LF_FACESIZE, L'\0');
    face.resize(static_cast<std::size_t>(::GetTextFaceW(context, LF_FACESIZE, face.data())) - 1);
    for (const std::string& text : reachable.texts) {
      const std::wstring characters = wide(text);
      std::vector<WORD> glyphs(characters.size());
      ::GetGlyphIndicesW(context, characters.c_str(), static_cast<int>(characters.size()), glyphs.data(),
                         GGI_MARK_NONEXISTING_GLYPHS);
      EXPECT_EQ(std::count(glyphs.begin(), glyphs.end(), WORD{0xFFFF}), 0)
          << reachable.name << " \"" << text << "\" has characters " << utf8(face) << " lacks";
      // The ink, drawn from the left of the room: the advance less the
      // blank the first character has before it and the last one after it.
      SIZE extent;
      ::GetTextExtentPoint32W(context, characters.c_str(), static_cast<int>(characters.size()), &extent);
      ABC first;
      ABC last;
      ::GetCharABCWidthsW(context, characters.front(), characters.front(), &first);
      ::GetCharABCWidthsW(context, characters.back(), characters.back(), &last);
      const int inkLeft = first.abcA;
      const int inkRight = extent.cx - last.abcC;
      EXPECT_TRUE(inkLeft >= 0 && inkRight <= room.right && extent.cy <= room.bottom)
          << reachable.name << " \"" << text << "\" covers x " << inkLeft << ".." << inkRight << " and "
          << extent.cy << " rows of " << room.right << "x" << room.bottom << " in " << utf8(face);
    }
    ::SelectObject(context, previous);
    ::ReleaseDC(label, context);
  }
}

TEST_F(Win32WindowTest, TypingReachesTheWorkersAndWritesReachTheWindow) {
  type("编辑框3", "7");
  EXPECT_EQ(state->readEditBox(EditBox::lastPart), "7");
  type("编辑框4", "C:\\中文 søren\\");
  EXPECT_EQ(state->readEditBox(EditBox::folder), "C:\\中文 søren\\");

  // Many writes between two refreshes: the window shows the last of each.
  for (int i = 0; i <= 100; ++i) {
    state->setProgressBar(i);
    state->setLabel(Label::percent, intToText(i) + "%");
  }
  state->setLabel(Label::status, utf8ToGbk("任务完成。"));
  window.refresh();
  EXPECT_EQ(barPosition(), 100);
  EXPECT_EQ(text("标签7"), "100%");
  EXPECT_EQ(text("标签5"), "任务完成。");

  state->setProgressBar(250);  // a resumed download can pass 100%: the bar stays full
  window.refresh();
  EXPECT_EQ(barPosition(), 100);
}

TEST_F(Win32WindowTest, ClickRunsABatchAndAMessageWaitsForOk) {
  const ScratchFolder folder;
  ::ShowWindow(window.handle(), SW_SHOWNOACTIVATE);
  type("编辑框1", "https://www.example.com/video/BV1");
  type("编辑框2", "1");
  type("编辑框3", "2");
  type("编辑框4", folder.typed());

  // The second part's title would leave the folder: its message box is
  // answered by pressing OK once it shows, and the batch then ends. Until OK
  // the worker waits, so the last status it wrote is still the one before
  // the message.
  std::string messageSeen;
  std::string statusWhileAsked;
  ::SendMessageW(control("按钮1"), BM_CLICK, 0, 0);
  ASSERT_TRUE(serveUntil([&] {
    // A box is answered only once its text is in place: MessageBoxW makes
    // the window before the text inside it.
    HWND box = findMessageBox("信息：");
    if (box && !messageBoxText(box).empty()) {
      messageSeen = messageBoxText(box);
      statusWhileAsked = gbkToUtf8(state->snapshot().labels[static_cast<std::size_t>(Label::status)]);
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return text("标签5") == "任务完成。";
  })) << "status: " << text("标签5");
  EXPECT_EQ(messageSeen, "不能打开本地的文件!");
  EXPECT_EQ(statusWhileAsked, "解析2P完成，正在下载。") << "the worker goes on only after OK";
  EXPECT_EQ(barPosition(), 100);
  EXPECT_EQ(text("标签7"), "100%");
  EXPECT_EQ(fs::file_size(folder.path() / L"第1集 教程.mp4"), kParseServiceMediaSize);
}

// pindlewick.exe itself: a click starts a batch whose second part waits for
// OK, and closing the window then ends the program at once.
TEST(Win32Program, ClosingTheWindowEndsTheProgramWhileAMessageWaits) {
  const ScratchFolder folder;
  std::wstring commandLine = L"\"" + wide(environment("PINDLEWICK_TEST_PROGRAM")) + L"\" --service " +
                             wide(environment("PINDLEWICK_TEST_SERVICE"));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION program{};
  ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &program));
  HWND window = nullptr;
  EXPECT_TRUE(serveUntil([&] {
    window = ::FindWindowW(L"PindlewickWindow", nullptr);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    return window != nullptr && owner == program.dwProcessId && ::IsWindowVisible(window);
  }));
  const auto type = [window](const char* name, std::string_view utf8) {
    ::SendDlgItemMessageW(window, controlId(name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide(utf8).c_str()));
  };
  type("编辑框1", "https://www.example.com/video/BV1");
  type("编辑框2", "2");
  type("编辑框3", "2");
  type("编辑框4", folder.typed());
  ::SendDlgItemMessageW(window, controlId("按钮1"), BM_CLICK, 0, 0);
  EXPECT_TRUE(serveUntil([&] { return findMessageBox("信息：", program.dwProcessId) != nullptr; }));

  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(::WaitForSingleObject(program.hProcess, 10000), WAIT_OBJECT_0) << "the program still runs";
  DWORD status = 1;
  ::GetExitCodeProcess(program.hProcess, &status);
  EXPECT_EQ(status, 0u);
  ::TerminateProcess(program.hProcess, 1);  // when it did not end
  ::CloseHandle(program.hThread);
  ::CloseHandle(program.hProcess);
}

}  // namespace
}  // namespace pindlewick
