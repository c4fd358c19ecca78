// SPDX-License-Identifier: MIT
// The progress window on Windows during a download on an in-memory line: its Cancel button and its
// close box end the download with CE_ABORTED and the data so far; left alone it never cancels.
#include <gtest/gtest.h>

#include "kivocom/kivocom.h"
#include "support/memory_line.h"
// After the library's headers: its BAUD_ and PARITY_ macros would rename their enumeration members.
#include <windows.h>

namespace kivocom {
namespace {

const std::string kPiece1 = "0001\r\n0002\r\n";
const std::string kPiece2 = "0003\r\n0004\r\n";
const std::string kPiece3 = "0005\r\n";

// The Cancel button of the calling thread's progress window, or nullptr.
HWND FindCancelButton() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM result) -> BOOL {
        EnumChildWindows(
            window,
            [](HWND child, LPARAM result) -> BOOL {
              wchar_t text[32] = L"";
              GetWindowTextW(child, text, 32);
              if (std::wstring(text) != L"Cancel") return TRUE;
              *reinterpret_cast<HWND*>(result) = child;
              return FALSE;
            },
            result);
        return *reinterpret_cast<HWND*>(result) == nullptr;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

enum class UserAction { None, ClickCancel, CloseBox };

struct Row {
  const char* name;
  UserAction action;
  ECOMError expected;
  std::string data;
};

class ProgressWindowTest : public MemoryLineTest, public ::testing::WithParamInterface<Row> {
 protected:
  ProgressWindowTest() {
    InstallThreadProgressWindowFactory(nullptr);
    port.port(3);
    // Pieces at 20 ms, 1.8 s and 3.6 s: each is gathered for a second, then reported.
    control->OnOutput([this](const std::string& sent) {
      if (sent == "\r") return;
      control->QueueInputAfter(20, kPiece1);
      control->QueueInputAfter(1800, kPiece2);
      control->QueueInputAfter(3600, kPiece3);
    });
  }

  // At 1.5 s, after the first report and before the second, the user acts; the library's pump
  // delivers the posted message to the window.
  void ActAt1500(UserAction action) {
    clock->At(1500, [this, action] {
      HWND cancel = FindCancelButton();
      ASSERT_NE(cancel, nullptr) << "the progress window shows a Cancel button";
      window = GetParent(cancel);
      if (action == UserAction::ClickCancel) PostMessageW(cancel, BM_CLICK, 0, 0);
      if (action == UserAction::CloseBox) PostMessageW(window, WM_CLOSE, 0, 0);
    });
  }

  CCOMPort port;
  HWND window = nullptr;
  ECOMError err = CE_NONE;
};

TEST_P(ProgressWindowTest, UserActionDuringDownload) {
  const Row& row = GetParam();
  ActAt1500(row.action);
  EXPECT_EQ(port.Download(false, err, "DL", "", "", 5), row.data);
  EXPECT_EQ(err, row.expected);
  EXPECT_NE(window, nullptr);
  EXPECT_FALSE(IsWindow(window)) << "the window is gone when the download returns";
  const bool cancelled = row.expected == CE_ABORTED;
  ASSERT_EQ(messages->boxes.size(), cancelled ? 1u : 0u);
  if (cancelled) {
    EXPECT_EQ(messages->boxes[0].prompt, "Download cancelled.");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Actions, ProgressWindowTest,
    ::testing::Values(Row{"CancelButton", UserAction::ClickCancel, CE_ABORTED, kPiece1 + kPiece2},
                      Row{"CloseBox", UserAction::CloseBox, CE_ABORTED, kPiece1 + kPiece2},
                      Row{"LeftAlone", UserAction::None, CE_NONE, kPiece1 + kPiece2 + kPiece3}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kivocom
