// SPDX-License-Identifier: MIT
// The library's message boxes as Win32 message boxes, owned by the thread's active window, and the
// mouse pointer as the system cursor.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/system_services.h"
#include "platform/windows/ansi_text.h"
#include "platform/windows/message_box_request.h"

namespace kivocom {
namespace {

// HH_HELP_CONTEXT of the HTML Help viewer: open the help file at a context number.
constexpr UINT kHelpContextCommand = 0x000F;

struct BoxHelp {
  std::wstring file;
  int32_t context;
};
// The help of the box being shown on this thread, for the Help button's callback.
thread_local const BoxHelp* tBoxHelp = nullptr;

// Opens the help file at the box's context through the HTML Help viewer, or, when the viewer is
// missing or refuses the file, with the program the system associates with the file.
void CALLBACK OpenBoxHelp(LPHELPINFO) {
  if (!tBoxHelp || tBoxHelp->file.empty()) return;
  using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
  if (HMODULE viewer = LoadLibraryW(L"hhctrl.ocx")) {
    const auto htmlHelp = reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void*>(GetProcAddress(viewer, "HtmlHelpW")));
    if (htmlHelp && htmlHelp(GetActiveWindow(), tBoxHelp->file.c_str(), kHelpContextCommand,
                             static_cast<DWORD_PTR>(tBoxHelp->context)))
      return;
  }
  ShellExecuteW(GetActiveWindow(), L"open", tBoxHelp->file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

class WindowsUserMessages : public UserMessages {
 public:
  void ShowBox(const std::string& prompt, int32_t flags, const std::string& title, const std::string& helpFile,
               int32_t helpContext) override {
    HWND owner = GetActiveWindow();
    const MessageBoxRequest request = MakeMessageBoxRequest(prompt, flags, title, owner != nullptr);
    const BoxHelp help{WideFromAnsi(helpFile), helpContext};
    MSGBOXPARAMSW params{};
    params.cbSize = sizeof params;
    params.hwndOwner = owner;
    params.lpszText = request.text.c_str();
    params.lpszCaption = request.title.c_str();
    params.dwStyle = request.style;
    params.dwContextHelpId = static_cast<DWORD_PTR>(helpContext);
    params.lpfnMsgBoxCallback = OpenBoxHelp;
    const BoxHelp* outer = tBoxHelp;
    tBoxHelp = &help;
    MessageBoxIndirectW(&params);
    tBoxHelp = outer;
  }

  void SetPointer(MousePointer shape) override {
    SetCursor(LoadCursor(nullptr, shape == MousePointer::Hourglass ? IDC_WAIT : IDC_ARROW));
  }
};

}  // namespace

std::shared_ptr<UserMessages> CreateSystemUserMessages() { return std::make_shared<WindowsUserMessages>(); }

}  // namespace kivocom
