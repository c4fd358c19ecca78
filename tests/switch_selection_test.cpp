// SPDX-License-Identifier: MIT
// Smart switch commands per model, the selection rules and the wiring sweep, on the in-memory line.
#include <gtest/gtest.h>

#include "kivocom/kivocom.h"
#include "support/memory_line.h"
#include "support/trace_capture.h"

namespace kivocom {

// Reaches the switch operations that only the library calls.
struct SmartSwitchInternals {
  static void Select(CSmartSwitch& s, const std::string& port) { s.SelectPort(port); }
  static void Deselect(CSmartSwitch& s) { s.DeselectPort(); }
  static void Sweep(CSmartSwitch& s) { s.TestPorts(); }
  static void SetNumPorts(CSmartSwitch& s, int16_t n) { s.NumPorts(n); }
};

namespace {

using SSI = SmartSwitchInternals;

class SwitchSelectionTest : public MemoryLineTest {
 protected:
  SwitchSelectionTest() {
    port.port(1);
    port.MaxBaudRate(BAUD_921600);
    port.BaudRate(BAUD_9600);
    port.UsesSmartSwitch(true);
    sw.Parent(&port);
    control->PortOpen(true);
    control->ClearRecord();
  }
  TraceCapture trace;
  CCOMPort port;
  CSmartSwitch sw;
};

struct SelectCase {
  const char* name;
  ESmartSwitchStyle style;
  std::string port;
  std::string bytes;  // deselect command, then select command
};

// Shows a row by its name in test listings.
void PrintTo(const SelectCase& row, std::ostream* os) { *os << row.name; }

class SwitchCommandTest : public SwitchSelectionTest, public ::testing::WithParamInterface<SelectCase> {};

TEST_P(SwitchCommandTest, SendsTheModelsCommands) {
  sw.Style(GetParam().style);
  SSI::Select(sw, GetParam().port);
  EXPECT_EQ(control->Sent(), GetParam().bytes);
  EXPECT_EQ(sw.CurrentPort(), GetParam().port);
}

INSTANTIATE_TEST_SUITE_P(
    Models, SwitchCommandTest,
    ::testing::Values(SelectCase{"BB4Letter", SSS_BB4PORT, "B", "\x1b\x02\x04" "\x1b\x02" "B\r"},
                      SelectCase{"BB8OneChar", SSS_BB8PORT, "3", "\x1b\x02\x02\x04" "\x1b\x02" "03\r"},
                      SelectCase{"BB8TwoChars", SSS_BB8PORT, "12", "\x1b\x02\x02\x04" "\x1b\x02" "12\r"},
                      SelectCase{"BB8Letter", SSS_BB8PORT, "A", "\x1b\x02\x02\x04" "\x1b\x02" "0A\r"},
                      SelectCase{"BT528Numbered", SSS_BT528AP, "5", "\x14" "005\r"},
                      SelectCase{"UnknownModelSendsNothing", static_cast<ESmartSwitchStyle>(5), "5", ""}),
    [](const auto& info) { return info.param.name; });

TEST_F(SwitchSelectionTest, SelectingTheConnectedPortSendsNothing) {
  SSI::Select(sw, "B");
  control->ClearRecord();
  SSI::Select(sw, "B");
  EXPECT_TRUE(control->Calls().empty());
  SSI::Select(sw, "b");
  EXPECT_EQ(control->Sent(), "\x1b\x02\x02\x04\x1b\x02" "0b\r") << "names are case-sensitive";
}

TEST_F(SwitchSelectionTest, SelectingNothingReleases) {
  SSI::Select(sw, "");
  EXPECT_EQ(control->Sent(), "\x1b\x02\x02\x04") << "released even when nothing is connected";
  SSI::Select(sw, "B");
  control->ClearRecord();
  SSI::Select(sw, "");
  EXPECT_EQ(control->Sent(), "\x1b\x02\x02\x04");
  EXPECT_EQ(sw.CurrentPort(), "");
}

TEST_F(SwitchSelectionTest, BT528ReleaseSendsNothingButForgetsThePort) {
  sw.Style(SSS_BT528AP);
  SSI::Select(sw, "5");
  control->ClearRecord();
  SSI::Deselect(sw);
  EXPECT_EQ(control->Sent(), "");
  EXPECT_EQ(sw.CurrentPort(), "");
}

TEST_F(SwitchSelectionTest, TracesTheCommandsWithTheirControlCharacters) {
  port.Debugging(true);
  sw.Style(SSS_BB4PORT);
  SSI::Select(sw, "B");
  EXPECT_EQ(trace.Texts(), (std::vector<std::string>{"Closing SmartSwitch port (\x1b\x02\x04)",
                                                     "Selecting SmartSwitch port B (\x1b\x02" "B\r)"}));
}

TEST_F(SwitchSelectionTest, BB4SweepGoesUpDownThenToPositionZero) {
  CCOMPort p;
  p.port(1);
  control->PortOpen(false);
  control->ClearRecord();
  sw.Parent(&p);
  sw.Style(SSS_BB4PORT);
  SSI::Sweep(sw);
  std::string expected;
  for (char name : std::string("ABCDCBA@")) expected += std::string("\x1b\x02\x04\x1b\x02") + name + "\r";
  EXPECT_EQ(control->Sent(), expected);
  EXPECT_EQ(clock->NowMs(), 8 * 200);
  EXPECT_EQ(messages->events, (std::vector<std::string>{"pointer=busy", "pointer=default"}));
  EXPECT_FALSE(control->PortOpen());
}

TEST_F(SwitchSelectionTest, TestSmartSwitchSweepsThePortsOwnSwitchEvenWhenUnused) {
  CCOMPort p;
  p.port(1);
  control->PortOpen(false);
  control->ClearRecord();
  p.TestSmartSwitch();
  std::string expected;
  for (char name : std::string("ABCDEFGHGFEDCBA@"))
    expected += std::string("\x1b\x02\x02\x04\x1b\x02") + "0" + name + "\r";
  EXPECT_EQ(control->Sent(), expected);
  EXPECT_EQ(clock->NowMs(), 16 * 200);
}

TEST_F(SwitchSelectionTest, SweepOfAPortUsingItsSwitchEndsWithTheRelease) {
  CCOMPort p;
  p.port(1);
  p.UsesSmartSwitch(true);
  control->PortOpen(false);
  control->ClearRecord();
  p.TestSmartSwitch();
  const std::string release = "\x1b\x02\x02\x04";
  const std::string tail = release + "\x1b\x02" "0@\r" + release;
  EXPECT_EQ(control->Sent().substr(control->Sent().size() - tail.size()), tail);
}

TEST_F(SwitchSelectionTest, SweepWithNoPortsEndsAfterPositionZero) {
  sw.Style(static_cast<ESmartSwitchStyle>(9));
  SSI::SetNumPorts(sw, 0);
  SSI::Sweep(sw);
  EXPECT_EQ(clock->NowMs(), 200);
  SSI::SetNumPorts(sw, -5);
  SSI::Sweep(sw);
  EXPECT_EQ(clock->NowMs(), 400);
}

TEST_F(SwitchSelectionTest, ASwitchWithoutParentRaisesAClearError) {
  CSmartSwitch orphan;
  try {
    SSI::Select(orphan, "A");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrNoParent);
    EXPECT_EQ(e.Source(), "CSmartSwitch - DeselectPort") << "selecting starts with the release";
  }
  {
    CCOMPort temporary;
    orphan.Parent(&temporary);
  }
  EXPECT_THROW(SSI::Sweep(orphan), Error) << "a parent that ended is gone, not dangling";
}

TEST_F(SwitchSelectionTest, ErrorOnTheLineReachesTheCallerAndKeepsTheState) {
  SSI::Select(sw, "B");
  control->PortOpen(false);
  EXPECT_THROW(SSI::Select(sw, "C"), Error);
  EXPECT_EQ(sw.CurrentPort(), "B") << "the failed release did not complete";
}

}  // namespace
}  // namespace kivocom
