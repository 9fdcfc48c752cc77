#include "app/win32/main_window.h"

// after windows.h
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <string>
#include <system_error>
#include <thread>

#include "app/pipeline.h"
#include "text/codepage.h"
#include "text/phrases.h"

namespace pindlewick {
namespace {

constexpr wchar_t kClassName[] = L"PindlewickWindow";
constexpr int kIconResource = 1;  // the .rc file's icon, absent from test programs

// Workers may write a progress row per 10 KB block; the window repaints it at
// most this often and always ends on the last value written.
constexpr UINT kRefreshMs = 50;
constexpr UINT_PTR kRefreshTimer = 1;
// Posted by a message box's thread once the user has answered the box; the
// LPARAM is the message's id in the WindowState.
constexpr UINT kMessageAnswered = WM_APP + 1;

// The place of every control in the client area, in pixels at 96 DPI; other
// DPIs scale them.
constexpr int kBaseDpi = 96;
constexpr int kClientWidth = 380;
constexpr int kClientHeight = 250;
constexpr int kWindowLeft = 50;
constexpr int kWindowTop = 50;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// A fixed font sized in pixels, like the fixed places: what fits here fits on
// every machine. The first face present wins; the code page still steers
// Windows' font mapper to a face with Chinese glyphs if none is.
constexpr std::array<const wchar_t*, 4> kFaceNames = {L"Microsoft YaHei UI", L"Microsoft YaHei", L"SimSun",
                                                      L"WenQuanYi Micro Hei"};
constexpr int kTextPixels = 12;
// The percentage and the speed share the 140 pixels beside the bar: a pixel
// smaller, "100.00%" and "999999.99KB/秒" both fit with a gap between them.
constexpr int kProgressRowTextPixels = 11;

constexpr int kFirstFixedLabel = 101;  // 标签1 .. 标签4
constexpr int kFirstEditBox = 201;     // by EditBox
constexpr int kFirstStateLabel = 105;  // by Label: 标签5, 标签6, 标签7
constexpr int kStartButton = 301;
constexpr int kProgressBar = 401;

struct ControlPlace {
  std::string_view name;
  int id;
  int left, top, width, height;
};

int editBoxId(EditBox box) { return kFirstEditBox + static_cast<int>(box); }
int stateLabelId(std::size_t label) { return kFirstStateLabel + static_cast<int>(label); }

constexpr std::array<ControlPlace, 13> kControls = {{
    {"标签1", kFirstFixedLabel, 8, 8, 32, 24},
    {"编辑框1", kFirstEditBox, 40, 8, 328, 20},
    {"标签2", kFirstFixedLabel + 1, 8, 40, 24, 24},
    {"编辑框2", kFirstEditBox + 1, 40, 40, 40, 20},
    {"标签3", kFirstFixedLabel + 2, 88, 40, 56, 24},
    {"编辑框3", kFirstEditBox + 2, 136, 40, 40, 20},
    {"标签4", kFirstFixedLabel + 3, 8, 72, 64, 24},
    {"编辑框4", kFirstEditBox + 3, 72, 72, 296, 20},
    {"按钮1", kStartButton, 0, 104, 376, 32},
    {"标签5", kFirstStateLabel, 8, 144, 360, 24},
    {"进度条1", kProgressBar, 0, 168, 240, 24},
    // Both reach into the free space on their right: the percentage up to
    // the speed, the speed up to the window's edge.
    {"标签7", kFirstStateLabel + 2, 240, 168, 48, 24},
    {"标签6", kFirstStateLabel + 1, 288, 168, 92, 24},
}};

bool inProgressRow(int id) { return id == kFirstStateLabel + 1 || id == kFirstStateLabel + 2; }

int scaled(int pixels, UINT dpi) { return ::MulDiv(pixels, static_cast<int>(dpi), kBaseDpi); }

std::wstring wideFromUtf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string utf8FromWide(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

// Code page 936 texts cross into the window here and nowhere else.
std::wstring wideFromGbk(TextView gbk) { return wideFromUtf8(gbkToUtf8(gbk)); }

std::wstring windowText(HWND control) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

const wchar_t* installedFaceName() {
  HDC screen = ::GetDC(nullptr);
  const wchar_t* found = kFaceNames.front();
  for (const wchar_t* face : kFaceNames) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    ::lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool present = false;
    ::EnumFontFamiliesExW(
        screen, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM flag) -> int {
          *reinterpret_cast<bool*>(flag) = true;
          return 0;
        },
        reinterpret_cast<LPARAM>(&present), 0);
    if (present) {
      found = face;
      break;
    }
  }
  ::ReleaseDC(nullptr, screen);
  return found;
}

HFONT createFont(int pixels, UINT dpi) {
  static const wchar_t* const face = installedFaceName();
  return ::CreateFontW(-scaled(pixels, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, face);
}

ATOM registerWindowClass() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = ::DefWindowProcW;  // replaced per window once it knows its object
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  windowClass.hIcon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 0, 0,
                                                      LR_DEFAULTSIZE | LR_SHARED));
  windowClass.hIconSm = static_cast<HICON>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                   ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  return ::RegisterClassExW(&windowClass);
}

}  // namespace

int controlId(std::string_view name) {
  const auto found = std::find_if(kControls.begin(), kControls.end(),
                                  [name](const ControlPlace& control) { return control.name == name; });
  return found != kControls.end() ? found->id : 0;
}

void Win32Window::FontDeleter::operator()(HFONT font) const { ::DeleteObject(font); }

Win32Window::Win32Window(std::shared_ptr<WindowState> state, PartSource source)
    : state_(std::move(state)), source_(std::move(source)) {
  static const ATOM windowClass = registerWindowClass();
  window_ = ::CreateWindowExW(0, MAKEINTATOM(windowClass), L"Pindlewick", kWindowStyle, kWindowLeft, kWindowTop, 0,
                              0, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (window_ == nullptr) throw std::system_error(static_cast<int>(::GetLastError()), std::system_category());
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Window::procedure));

  const WindowState::Snapshot initial = state_->snapshot();
  constexpr DWORD kLabel = SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX;
  constexpr DWORD kEditBox = WS_TABSTOP | ES_AUTOHSCROLL;
  for (const auto& [id, text] : {std::pair{0, Phrase::urlLabel}, {1, Phrase::fromPartLabel},
                                 {2, Phrase::toPartLabel}, {3, Phrase::folderLabel}}) {
    addControl(kFirstFixedLabel + id, WC_STATICW, gbkToUtf8(phrase(text)), kLabel);
  }
  for (const EditBox box : {EditBox::pageUrl, EditBox::firstPart, EditBox::lastPart, EditBox::folder}) {
    addControl(editBoxId(box), WC_EDITW, initial.editBoxes[static_cast<std::size_t>(box)], kEditBox,
               WS_EX_CLIENTEDGE);
  }
  addControl(kStartButton, WC_BUTTONW, gbkToUtf8(phrase(Phrase::startButton)), WS_TABSTOP | BS_PUSHBUTTON);
  for (std::size_t label = 0; label < initial.labels.size(); ++label) {
    addControl(stateLabelId(label), WC_STATICW, gbkToUtf8(initial.labels[label]), kLabel);
  }
  addControl(kProgressBar, PROGRESS_CLASSW, "", 0);
  ::SendDlgItemMessageW(window_, kProgressBar, PBM_SETRANGE32, 0, 100);

  placeControls(::GetDpiForWindow(window_));
  ::SetTimer(window_, kRefreshTimer, kRefreshMs, nullptr);
}

Win32Window::~Win32Window() {
  if (window_ != nullptr) ::DestroyWindow(window_);
}

void Win32Window::addControl(int id, const wchar_t* className, std::string_view utf8Text, DWORD style,
                             DWORD extendedStyle) {
  ::CreateWindowExW(extendedStyle, className, wideFromUtf8(utf8Text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0,
                    0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                    ::GetModuleHandleW(nullptr), nullptr);
}

// Sizes the window and places and sizes its controls and fonts for dpi: at
// start, and whenever the window moves to a screen of another DPI.
void Win32Window::placeControls(UINT dpi) {
  RECT outer{0, 0, scaled(kClientWidth, dpi), scaled(kClientHeight, dpi)};
  ::AdjustWindowRectExForDpi(&outer, kWindowStyle, FALSE, 0, dpi);
  ::SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  Font textFont(createFont(kTextPixels, dpi));
  Font progressRowFont(createFont(kProgressRowTextPixels, dpi));
  for (const ControlPlace& place : kControls) {
    HWND control = ::GetDlgItem(window_, place.id);
    ::SetWindowPos(control, nullptr, scaled(place.left, dpi), scaled(place.top, dpi), scaled(place.width, dpi),
                   scaled(place.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    HFONT font = inProgressRow(place.id) ? progressRowFont.get() : textFont.get();
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  // The controls no longer use the fonts these replace.
  textFont_ = std::move(textFont);
  progressRowFont_ = std::move(progressRowFont);
}

LRESULT CALLBACK Win32Window::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  return self != nullptr ? self->handleMessage(message, wParam, lParam)
                         : ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32Window::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      handleCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_TIMER:
      if (wParam == kRefreshTimer) refresh();
      return 0;
    case kMessageAnswered:
      state_->answerMessage(static_cast<std::uint64_t>(lParam));
      return 0;
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      placeControls(HIWORD(wParam));
      return 0;
    }
    case WM_DESTROY:
      // Closing the window ends the program, whatever boxes are still open.
      ::KillTimer(window_, kRefreshTimer);
      ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

void Win32Window::handleCommand(int id, int notification) {
  if (notification == EN_CHANGE && id >= kFirstEditBox && id < kFirstEditBox + 4) {
    const auto box = static_cast<EditBox>(id - kFirstEditBox);
    state_->setEditBox(box, utf8FromWide(windowText(::GetDlgItem(window_, id))));
  } else if (notification == BN_CLICKED && id == kStartButton) {
    if (!startBatch(state_, source_)) {
      showNonModalMessage(phrase(Phrase::cannotStartBatch), phrase(Phrase::messageCaption), std::nullopt);
    }
  }
}

void Win32Window::refresh() {
  const WindowState::Snapshot now = state_->snapshot();
  if (now.version != shownVersion_) {
    shownVersion_ = now.version;
    for (std::size_t label = 0; label < now.labels.size(); ++label) {
      HWND control = ::GetDlgItem(window_, stateLabelId(label));
      const std::wstring caption = wideFromGbk(now.labels[label]);
      if (windowText(control) != caption) ::SetWindowTextW(control, caption.c_str());
    }
    // The bar itself shows positions outside 0..100 as a full or an empty bar.
    ::SendDlgItemMessageW(window_, kProgressBar, PBM_SETPOS, static_cast<WPARAM>(now.progressBar), 0);
  }
  showWaitingMessages();
}

// Each message gets a box of its own on a thread of its own, so it does not
// block the window: the user can still close the program while a worker
// waits for OK. The answer comes back to the window's thread as a message.
void Win32Window::showNonModalMessage(TextView text, TextView caption, std::optional<std::uint64_t> answerId) {
  try {
    std::thread([window = window_, text = wideFromGbk(text), caption = wideFromGbk(caption), answerId] {
      ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_SETFOREGROUND);
      if (answerId) ::PostMessageW(window, kMessageAnswered, 0, static_cast<LPARAM>(*answerId));
    }).detach();
  } catch (const std::system_error&) {
    // Nobody could answer a box that never shows: its worker goes on.
    if (answerId) state_->answerMessage(*answerId);
  }
}

void Win32Window::showWaitingMessages() {
  while (const std::optional<WindowState::Message> message = state_->nextMessage()) {
    showNonModalMessage(message->text, message->caption, message->id);
  }
}

}  // namespace pindlewick
