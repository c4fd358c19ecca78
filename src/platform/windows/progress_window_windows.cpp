// SPDX-License-Identifier: MIT
// The download's progress window on Windows: the "Downloading..." text, a progress bar, a line of
// counts and a Cancel button. It lives on the downloading thread; the library's message pump
// paints it and delivers its Cancel, which the next progress report returns as false.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "platform/system_services.h"
#include "platform/windows/ansi_text.h"

namespace kivocom {
namespace {

constexpr wchar_t kClassName[] = L"KivocomProgressWindow";
constexpr wchar_t kTitle[] = L"Kivometrix";
constexpr int kClientWidth = 380;
constexpr int kClientHeight = 142;
constexpr int kMargin = 16;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 28;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

// The module that holds this code (the DLL, or the program when linked statically): the window
// class belongs to it.
HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

class Win32ProgressWindow : public ProgressWindow {
 public:
  // The window, hidden until SetVisible; nullptr when the system cannot make it.
  static std::unique_ptr<ProgressWindow> Create() {
    auto window = std::make_unique<Win32ProgressWindow>();
    if (!window->Open()) return nullptr;
    return window;
  }

  ~Win32ProgressWindow() override {
    CloseWindow();
    // Fails harmlessly while another thread still shows a window of the class.
    UnregisterClassW(kClassName, ThisModule());
  }

  void SetMessage(const std::string& text, int32_t, int32_t) override {
    SetWindowTextW(text_, WideFromAnsi(text).c_str());
  }
  void SetVisible(bool visible) override {
    ShowWindow(window_, visible ? SW_SHOW : SW_HIDE);
    if (visible) UpdateWindow(window_);
  }
  void ReportBytes(int64_t received) override { bytes_ = received; }
  bool ReportProgress(int32_t total, int32_t done, int32_t) override {
    SendMessageW(bar_, PBM_SETRANGE32, 0, std::max(total, 1));
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(std::clamp(done, 0, std::max(total, 0))), 0);
    wchar_t counts[120];
    std::swprintf(counts, std::size(counts), L"%d of %d readings, %lld bytes", done, total,
                  static_cast<long long>(bytes_));
    SetWindowTextW(counts_, counts);
    return !cancelled_;
  }
  void CloseWindow() override {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
  }

 private:
  bool Open() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    if (!RegisterWindowClass()) return false;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // Owned by the client's active window, so it stays above it.
    window_ = CreateWindowExW(kExStyle, kClassName, kTitle, kStyle, work.left + (work.right - work.left - width) / 2,
                              work.top + (work.bottom - work.top - height) / 2, width, height, GetActiveWindow(),
                              nullptr, ThisModule(), this);
    if (!window_) return false;
    const int inner = kClientWidth - 2 * kMargin;
    text_ = AddChild(L"STATIC", SS_LEFT | SS_NOPREFIX, kMargin, 14, inner, 20, 0);
    bar_ = AddChild(PROGRESS_CLASSW, PBS_SMOOTH, kMargin, 40, inner, 20, 0);
    counts_ = AddChild(L"STATIC", SS_LEFT | SS_NOPREFIX, kMargin, 68, inner, 20, 0);
    cancel_ = AddChild(L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, kClientWidth - kMargin - kButtonWidth,
                       kClientHeight - kMargin - kButtonHeight, kButtonWidth, kButtonHeight, IDCANCEL);
    SetWindowTextW(cancel_, L"Cancel");
    return text_ && bar_ && counts_ && cancel_;
  }

  static bool RegisterWindowClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ThisModule();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }

  HWND AddChild(const wchar_t* className, DWORD style, int x, int y, int width, int height, int id) {
    HWND child = CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | style, x, y, width, height, window_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ThisModule(), nullptr);
    if (child) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return child;
  }

  // The user's cancel counts at the next progress report; until then the window says it was heard.
  void Cancel() {
    cancelled_ = true;
    EnableWindow(cancel_, FALSE);
    SetWindowTextW(text_, L"Cancelling...");
  }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // The close box cancels too; the download closes the window itself when it ends.
    if (self && ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE)) {
      self->Cancel();
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  HWND window_ = nullptr;
  HWND text_ = nullptr;
  HWND bar_ = nullptr;
  HWND counts_ = nullptr;
  HWND cancel_ = nullptr;
  bool cancelled_ = false;
  int64_t bytes_ = 0;
};

}  // namespace

std::unique_ptr<ProgressWindow> CreateSystemProgressWindow() { return Win32ProgressWindow::Create(); }

}  // namespace kivocom
