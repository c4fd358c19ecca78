// SPDX-License-Identifier: MIT
// The Windows message pump and clock: the library's waits dispatch the thread's window messages,
// wake for them without waiting out their time, and leave a quit request to the program's loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "kivocom/clock.h"
#include "kivocom/support.h"

namespace kivocom {
namespace {

constexpr UINT kProbeMessage = WM_APP + 7;

// A message-only window that counts the probe messages it receives.
class ProbeWindow {
 public:
  ProbeWindow() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
      if (message == kProbeMessage) ++*reinterpret_cast<int*>(GetWindowLongPtrW(window, GWLP_USERDATA));
      return DefWindowProcW(window, message, wParam, lParam);
    };
    windowClass.lpszClassName = L"KivocomPumpProbe";
    RegisterClassExW(&windowClass);
    handle = CreateWindowExW(0, L"KivocomPumpProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&received));
  }
  ~ProbeWindow() { DestroyWindow(handle); }

  HWND handle;
  int received = 0;
};

class MessagePumpTest : public ::testing::Test {
 protected:
  MessagePumpTest() {
    InstallThreadClock(nullptr);
    InstallThreadMessagePump(nullptr);
  }
  ProbeWindow probe;
};

TEST_F(MessagePumpTest, LibraryWaitDispatchesPostedMessage) {
  ASSERT_NE(probe.handle, nullptr);
  PostMessageW(probe.handle, kProbeMessage, 0, 0);
  WaitMilliseconds(0);
  EXPECT_EQ(probe.received, 1);
}

TEST_F(MessagePumpTest, SleepWakesForMessageFromAnotherThread) {
  SystemClock clock;
  std::thread poster([handle = probe.handle] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    PostMessageW(handle, kProbeMessage, 0, 0);
  });
  const int64_t start = clock.NowMs();
  clock.Sleep(60'000);
  const int64_t slept = clock.NowMs() - start;
  poster.join();
  EXPECT_LT(slept, 30'000) << "the sleep ends when the message arrives, not after a minute";
  ThreadMessagePump().ProcessPending();
  EXPECT_EQ(probe.received, 1);
}

TEST_F(MessagePumpTest, QuitRequestIsLeftForTheProgramsLoop) {
  PostMessageW(probe.handle, kProbeMessage, 0, 0);
  PostQuitMessage(3);
  ThreadMessagePump().ProcessPending();
  EXPECT_EQ(probe.received, 1);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

}  // namespace
}  // namespace kivocom
