// SPDX-License-Identifier: MIT
// Opening and closing the shared line: settings applied, failures, switch routing, IrDA start-up.
#include <gtest/gtest.h>

#include "kivocom/kivocom.h"
#include "support/memory_line.h"
#include "support/trace_capture.h"

namespace kivocom {
namespace {

using Calls = std::vector<std::string>;

class OpenCloseTest : public MemoryLineTest {
 protected:
  void Configure(CCOMPort& p, int32_t port, EBaudRate rate) {
    p.port(port);
    p.MaxBaudRate(BAUD_921600);
    p.BaudRate(rate);
  }
  TraceCapture trace;
};

TEST_F(OpenCloseTest, NoPortChosenTouchesNothing) {
  CCOMPort p;
  p.Debugging(true);
  control->PortOpen(true);
  control->ClearRecord();
  EXPECT_FALSE(p.OpenPort());
  EXPECT_TRUE(control->Calls().empty());
  EXPECT_TRUE(control->PortOpen()) << "an open line stays open";
  EXPECT_TRUE(trace.Texts().empty());
}

TEST_F(OpenCloseTest, AppliesPortAndSettingsTextThenOpens) {
  CCOMPort p;
  p.port(3);
  EXPECT_TRUE(p.OpenPort());
  EXPECT_EQ(control->Calls(), (Calls{"CommPort=3", "Settings=2400,N,8,1", "PortOpen=True"}))
      << "BAUD_NONE opens at 2400";
  p.ControllerStyle(CS_AZONIX);
  p.OpenPort();
  EXPECT_EQ(control->Settings(), "2400,E,7,2");
  Configure(p, 3, BAUD_9600);
  p.ControllerStyle(CS_OMEGA);
  p.OpenPort();
  EXPECT_EQ(control->Settings(), "9600,E,7,1");
}

TEST_F(OpenCloseTest, PortZeroKeepsThePreviousCommPort) {
  CCOMPort p;
  p.port(4);
  p.OpenPort();
  p.port(0);
  control->ClearRecord();
  p.OpenPort();
  EXPECT_EQ(control->Calls(), (Calls{"PortOpen=False", "Settings=2400,N,8,1", "PortOpen=True"}));
  EXPECT_EQ(control->CommPort(), 4);
}

TEST_F(OpenCloseTest, ReopeningAnOpenLineTracesTheOpeningAgain) {
  CCOMPort p;
  Configure(p, 3, BAUD_9600);
  p.Debugging(true);
  p.OpenPort();
  p.OpenPort();
  EXPECT_EQ(trace.Texts(), (Calls{"Opening COM port 3 with settings 9600,N,8,1",
                                  "Opening COM port 3 with settings 9600,N,8,1"}));
}

TEST_F(OpenCloseTest, RefusedOpenRaisesCannotOpenAndTracesTheCause) {
  CCOMPort p;
  Configure(p, 3, BAUD_9600);
  p.Debugging(true);
  control->FailOn("PortOpen=True", Error(8012, "SerialControl - PortOpen", "/dev/ttyS2 is missing"));
  try {
    p.OpenPort();
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), static_cast<int32_t>(0x80040033));
    EXPECT_EQ(e.Source(), "CCOMPort - OpenPort");
    EXPECT_EQ(e.Description(), "Cannot open COM port 3");
  }
  EXPECT_EQ(trace.Texts(), (Calls{"Opening COM port 3 with settings 9600,N,8,1",
                                  "Error Opening COM port 3: 8012 - /dev/ttyS2 is missing"}));
  EXPECT_FALSE(control->PortOpen());
}

TEST_F(OpenCloseTest, RefusedSettingsStillOpenButRaise) {
  CCOMPort p;
  Configure(p, 3, BAUD_9600);
  p.UsesSmartSwitch(true);
  control->FailOn("Settings", Error(8015, "SerialControl - Settings", "refused"));
  EXPECT_THROW(p.OpenPort("A"), Error);
  EXPECT_TRUE(control->PortOpen()) << "the open itself succeeded with the previous settings";
  EXPECT_EQ(control->Sent(), "") << "no switch selection after a failure";
}

TEST_F(OpenCloseTest, SwitchIsSelectedAfterOpeningAndBeforeTheDongle) {
  CCOMPort p;
  Configure(p, 2, BAUD_57600);
  p.UsesSmartSwitch(true);
  p.UseIrDADongle(true);
  p.OpenPort("");
  EXPECT_EQ(control->Sent(), "") << "an empty switch port selects nothing";
  control->ClearRecord();
  p.OpenPort("B");
  const Calls& calls = control->Calls();
  const auto at = [&](const std::string& call) { return std::find(calls.begin(), calls.end(), call) - calls.begin(); };
  EXPECT_LT(at("PortOpen=True"), at("Output=\x1b\x02\x30" "B\r"));
  EXPECT_LT(at("Output=\x1b\x02\x30" "B\r"), at("DTREnable=False"));
}

TEST_F(OpenCloseTest, IrDAStartUpPulsesRtsForTheRate) {
  struct Case {
    EBaudRate rate;
    int pulses;
  };
  for (const Case c : {Case{BAUD_9600, 0}, Case{BAUD_19200, 1}, Case{BAUD_38400, 4}, Case{BAUD_57600, 2},
                       Case{BAUD_115200, 3}, Case{BAUD_4800, 0}}) {
    CCOMPort p;
    Configure(p, 1, c.rate);
    p.UseIrDADongle(true);
    control->ClearRecord();
    const int64_t start = clock->NowMs();
    p.OpenPort();
    Calls expected{"CommPort=1", "Settings=" + p.BaudRateName() + ",N,8,1", "PortOpen=True", "DTREnable=False",
                   "DTREnable=True"};
    for (int i = 0; i < c.pulses; ++i) {
      expected.push_back("RTSEnable=False");
      expected.push_back("RTSEnable=True");
    }
    EXPECT_EQ(control->Calls(), expected) << p.BaudRateName();
    EXPECT_EQ(clock->NowMs() - start, 10 * (2 + 2 * c.pulses)) << "10 ms after each change";
  }
}

TEST_F(OpenCloseTest, DongleFailureIsDroppedAndOpenStillSucceeds) {
  CCOMPort p;
  Configure(p, 1, BAUD_38400);
  p.UseIrDADongle(true);
  control->FailOn("DTREnable", Error(8018, "SerialControl - DTREnable", "no modem lines"));
  EXPECT_TRUE(p.OpenPort());
}

TEST_F(OpenCloseTest, ClosePortReleasesTheSwitchThenClosesThenTraces) {
  CCOMPort p;
  Configure(p, 3, BAUD_9600);
  p.UsesSmartSwitch(true);
  p.ClosePort();
  EXPECT_TRUE(control->Calls().empty()) << "closing a closed line does nothing";
  p.OpenPort("C");
  p.Debugging(true);
  control->ClearRecord();
  p.ClosePort();
  EXPECT_EQ(control->Calls(), (Calls{"OutBufferCount=0", "InBufferCount=0", "Output=\x1b\x02\x02\x04", "PortOpen=False"}));
  EXPECT_EQ(trace.Texts(), (Calls{"Closing SmartSwitch port (\x1b\x02\x02\x04)", "Closed COM port 3"}));
}

}  // namespace
}  // namespace kivocom
