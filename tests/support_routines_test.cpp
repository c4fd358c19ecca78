// SPDX-License-Identifier: MIT
// The template filler, the two message boxes and the timed wait.
#include <gtest/gtest.h>

#include "kivocom/kivocom.h"
#include "support/memory_line.h"

namespace kivocom {
namespace {

struct TemplateCase {
  const char* name;
  std::string templ, values, filled;
};

// Shows a row by its name in test listings.
void PrintTo(const TemplateCase& row, std::ostream* os) { *os << row.name; }

class FillTemplateTest : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(FillTemplateTest, Fills) {
  EXPECT_EQ(FillTemplate(GetParam().templ, GetParam().values), GetParam().filled);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FillTemplateTest,
    ::testing::Values(TemplateCase{"PortNumber", "Cannot open COM port ~", "3", "Cannot open COM port 3"},
                      TemplateCase{"NoTilde", "No marks here", "1|2", "No marks here"},
                      TemplateCase{"MissingValue", "~ and ~", "7", "7 and "},
                      TemplateCase{"TrimmedBesideBars", "[~][~]", " a | b ", "[a][b]"},
                      TemplateCase{"UntrimmedWithoutBar", "[~]", " 3 ", "[ 3 ]"},
                      TemplateCase{"LeadingBar", "[~][~]", "|b", "[][b]"},
                      TemplateCase{"TrailingBar", "[~][~]", "a|", "[a][]"},
                      TemplateCase{"TildeInValueNotReplaced", "~-~", "~|x", "~-x"},
                      TemplateCase{"SurplusValuesIgnored", "~", "1|2|3", "1"},
                      TemplateCase{"TabsNotTrimmed", "[~][~]", "\ta\t|b", "[\ta\t][b]"},
                      TemplateCase{"Empty", "", "", ""}),
    [](const auto& info) { return info.param.name; });

TEST(StringTable, HoldsTheTwelveTexts) {
  EXPECT_EQ(LoadResString(101), "An error occurred while");
  EXPECT_EQ(LoadResString(106), "Baud rate not supported.");
  EXPECT_EQ(LoadResString(111), "Unable to successfully read settings from file.");
  EXPECT_EQ(LoadResString(112), "A system error has occurred");
  EXPECT_EQ(LoadResString(100), "");
}

class MessagesTest : public MemoryLineTest {};

TEST_F(MessagesTest, InfoBoxGetsAHelpButtonOnlyWithAHelpFile) {
  ShowInfoMessage("Download cancelled.", "Kivometrix", "", 0);
  ShowInfoMessage("See help", "Kivometrix", "kivo.hlp", 12);
  ASSERT_EQ(messages->boxes.size(), 2u);
  EXPECT_EQ(messages->boxes[0].flags, 0x40);
  EXPECT_EQ(messages->boxes[0].title, "Kivometrix");
  EXPECT_EQ(messages->boxes[1].flags, 0x4040);
  EXPECT_EQ(messages->boxes[1].helpContext, 12);
  EXPECT_EQ(messages->events, (std::vector<std::string>{"pointer=default", "box", "pointer=default", "box"}));
}

TEST_F(MessagesTest, ErrorBoxWithoutPendingErrorIsOneLine) {
  ShowErrorMessage(LoadResString(109), "Kivometrix", "", 0);
  ASSERT_EQ(messages->boxes.size(), 1u);
  EXPECT_EQ(messages->boxes[0].prompt, "An error occurred while attempting to write settings.\r");
  EXPECT_EQ(messages->boxes[0].flags, 0x10);
  ShowErrorMessage("", "Kivometrix", "", 0);
  EXPECT_EQ(messages->boxes[1].prompt, "An error occurred while .\r");
}

TEST_F(MessagesTest, ErrorBoxExplainsThePendingError) {
  const ErrorRecord pending{static_cast<int32_t>(0x80040036), "CCOMPort - Let BaudRate", "Baud rate not supported.", "", 0};
  ShowErrorMessage(LoadResString(110), "Kivometrix", "", 0, pending);
  EXPECT_EQ(messages->boxes[0].prompt,
            "An error occurred while attempting to read settings.\r\rError: -2147221450 - Baud rate not supported.\r"
            "(CCOMPort - Let BaudRate)");
  EXPECT_EQ(messages->boxes[0].flags, 0x10);
}

TEST_F(MessagesTest, ErrorsHelpFileIsUsedUnlessTheCallerGivesOne) {
  const ErrorRecord pending{5, "", "Invalid procedure call", "err.hlp", 7};
  ShowErrorMessage("x", "Kivometrix", "", 0, pending);
  EXPECT_EQ(messages->boxes[0].prompt, "An error occurred while x.\r\rError: 5 - Invalid procedure call");
  EXPECT_EQ(messages->boxes[0].flags, 0x4010);
  EXPECT_EQ(messages->boxes[0].helpFile, "err.hlp");
  EXPECT_EQ(messages->boxes[0].helpContext, 7);
  ShowErrorMessage("x", "Kivometrix", "mine.hlp", 3, pending);
  EXPECT_EQ(messages->boxes[1].helpFile, "mine.hlp");
  EXPECT_EQ(messages->boxes[1].helpContext, 3);
}

class CountingPump : public MessagePump {
 public:
  void ProcessPending() override { ++runs; }
  int runs = 0;
};

TEST_F(MessagesTest, WaitRunsThePumpUntilTheTimeHasPassed) {
  auto pump = std::make_shared<CountingPump>();
  InstallThreadMessagePump(pump);
  WaitMilliseconds(1000);
  EXPECT_EQ(clock->NowMs(), 1000);
  EXPECT_GE(pump->runs, 10) << "the client's events keep running during a wait";
  for (int32_t ms : {0, -5}) {
    pump->runs = 0;
    const int64_t before = clock->NowMs();
    WaitMilliseconds(ms);
    EXPECT_EQ(pump->runs, 1);
    EXPECT_EQ(clock->NowMs(), before);
  }
}

TEST_F(MessagesTest, WaitEndsWhenTheClockPassesLargeValues) {
  clock->Advance(int64_t{1} << 33);  // far beyond where a 32-bit millisecond counter wraps
  WaitMilliseconds(250);
  EXPECT_EQ(clock->NowMs(), (int64_t{1} << 33) + 250);
}

}  // namespace
}  // namespace kivocom
