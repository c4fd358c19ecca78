// SPDX-License-Identifier: MIT
// The message pump: dispatches the thread's window messages, so the client's windows and the
// progress window repaint and respond while the library waits.
#include <windows.h>

#include "platform/system_services.h"

namespace kivocom {
namespace {

class WindowsMessagePump : public MessagePump {
 public:
  void ProcessPending() override {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The quit request belongs to the program's own loop: leave it for that loop to find.
        PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
};

}  // namespace

std::shared_ptr<MessagePump> CreateSystemMessagePump() { return std::make_shared<WindowsMessagePump>(); }

}  // namespace kivocom
