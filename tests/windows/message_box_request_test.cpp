// SPDX-License-Identifier: MIT
// The library's message boxes as MessageBoxW requests: flags to icon, button and modality, CR line
// breaks, and text from the ANSI code page.
#include <gtest/gtest.h>

#include "kivocom/user_messages.h"
#include "platform/windows/message_box_request.h"

namespace kivocom {
namespace {

struct StyleRow {
  const char* name;
  int32_t flags;
  bool hasOwner;
  UINT style;
};

class MessageBoxStyleTest : public ::testing::TestWithParam<StyleRow> {};

TEST_P(MessageBoxStyleTest, FlagsGiveStyle) {
  const StyleRow& row = GetParam();
  EXPECT_EQ(MakeMessageBoxRequest("x", row.flags, "Kivometrix", row.hasOwner).style, row.style);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, MessageBoxStyleTest,
    ::testing::Values(
        StyleRow{"Information", kBoxInformation, true, MB_OK | MB_ICONINFORMATION},
        StyleRow{"InformationHelp", kBoxInformation + kBoxHelpButton, true, MB_OK | MB_ICONINFORMATION | MB_HELP},
        StyleRow{"Critical", kBoxCritical, true, MB_OK | MB_ICONSTOP},
        StyleRow{"CriticalHelp", kBoxCritical + kBoxHelpButton, true, MB_OK | MB_ICONSTOP | MB_HELP},
        StyleRow{"NoOwnerIsTaskModal", kBoxCritical, false, MB_OK | MB_ICONSTOP | MB_TASKMODAL},
        StyleRow{"OtherBitsIgnored", kBoxInformation + 0x20 + 0x3, true, MB_OK | MB_ICONINFORMATION}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MessageBoxTextTest, CrBreaksLinesAndTitleIsKept) {
  const auto request = MakeMessageBoxRequest("An error occurred while x.\r\rError: 5 - y\r(CCOMPort - Z)\r\nlast",
                                             kBoxCritical, "Kivometrix", true);
  EXPECT_EQ(request.text, L"An error occurred while x.\r\n\r\nError: 5 - y\r\n(CCOMPort - Z)\r\nlast");
  EXPECT_EQ(request.title, L"Kivometrix");
}

TEST(MessageBoxTextTest, TextIsReadInTheAnsiCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "the system code page is " << GetACP() << ", not 1252";
  EXPECT_EQ(MakeMessageBoxRequest("25 \xB0" "C \xE9t\xE9", kBoxInformation, "K", true).text, L"25 \u00B0C \u00E9t\u00E9");
}

}  // namespace
}  // namespace kivocom
