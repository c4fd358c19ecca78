// SPDX-License-Identifier: MIT
// Exchanges on a real line: this system's serial control on a pseudo-terminal, a simulated
// instrument on the far end, asserting the bytes on the wire and the results.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "support/real_line.h"
#include "support/trace_capture.h"

namespace kivocom {
namespace {

using std::chrono::milliseconds;
using Lines = std::vector<std::string>;

class RealLineExchangeTest : public RealLineTest {
 protected:
  SimulatedInstrument Instrument(EControllerStyle style = CS_KIVO) {
    SimulatedInstrument i;
    i.style = style;
    i.address = "01";
    i.replies["PV"] = "+0023.45";
    return i;
  }
  ECOMError err = CE_NONE;
};

TEST_F(RealLineExchangeTest, OmegaWorkedExamplesByteForByte) {
  sim.AddInstrument(Instrument(CS_OMEGA));
  port.ControllerStyle(CS_OMEGA);
  port.WritePort(err, "PV", "", "01");
  ASSERT_TRUE(sim.WaitForReceived(9, milliseconds(1000)));
  EXPECT_EQ(sim.Received(), "\r\x04" "0011PV\x05\r");
  sim.ClearReceived();
  port.WritePort(err, "SL", "", "01", "100.0");
  ASSERT_TRUE(sim.WaitForReceived(16, milliseconds(1000)));
  EXPECT_EQ(sim.Received(), "\r\x04" "0011\x02SL100.0\x03\x33\r");
  EXPECT_EQ(err, CE_NONE);
}

TEST_F(RealLineExchangeTest, OmegaBlockCheckThatIsABlankReachesTheInstrument) {
  auto omega = Instrument(CS_OMEGA);
  omega.replies["A"] = "a";  // tells the instrument where the command ends and the value begins
  const auto id = sim.AddInstrument(omega);
  port.ControllerStyle(CS_OMEGA);
  port.WritePort(err, "A", "", "01", "b");  // 'A' ^ 'b' ^ ETX is 0x20
  ASSERT_TRUE(sim.WaitForReceived(11, milliseconds(1000)));
  EXPECT_EQ(sim.Received(), "\r\x04" "0011\x02" "Ab\x03 \r");
  EXPECT_TRUE(sim.WaitForReceived("\r", milliseconds(100)));
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(sim.Instrument(id).replies["A"], "b") << "the instrument accepted the frame's check";
}

TEST_F(RealLineExchangeTest, BB4SweepOnTheWire) {
  sim.UseSmartSwitch(SSS_BB4PORT);
  GiveSwitchModel(port, SSS_BB4PORT);
  port.UsesSmartSwitch(true);
  port.TestSmartSwitch();
  const std::string release = "\x1b\x02\x04";
  std::string expected;
  for (char name : std::string("ABCDCBA@")) expected += release + "\x1b\x02" + name + "\r";
  expected += release;
  ASSERT_TRUE(sim.WaitForReceived(expected.size(), milliseconds(1000)));
  EXPECT_EQ(sim.Received(), expected);
}

TEST_F(RealLineExchangeTest, SwitchModelsSelectAndReleaseAroundTheCommand) {
  struct Case {
    ESmartSwitchStyle model;
    std::string name, select, release;
  };
  for (const Case& c : {Case{SSS_BB8PORT, "3", "\x1b\x02" "03\r", "\x1b\x02\x02\x04"},
                        Case{SSS_BT528AP, "5", "\x14" "005\r", ""}}) {
    sim.UseSmartSwitch(c.model);
    auto instrument = Instrument();
    instrument.replies["PV"] = "on " + c.name;
    sim.AddInstrument(instrument, c.name);
    GiveSwitchModel(port, c.model);
    port.UsesSmartSwitch(true);
    sim.ClearReceived();
    EXPECT_EQ(port.ReadPort(err, "PV", c.name), "on " + c.name);
    const std::string expected = c.release + c.select + "\r" + "PV\r" + c.release;
    ASSERT_TRUE(sim.WaitForReceived(expected.size(), milliseconds(1000)));
    EXPECT_EQ(sim.Received(), expected) << "release, select, lone CR, command, release at the close";
  }
}

TEST_F(RealLineExchangeTest, LineFeedCompletesAtOnceAndCrAloneAtTheTimeOut) {
  const auto id = sim.AddInstrument(Instrument());
  port.TimeOut(2000);
  std::string reply;
  EXPECT_LT(MillisecondsOf([&] { reply = port.ReadPort(err, "PV"); }), 1000);
  EXPECT_EQ(reply, "+0023.45");

  sim.ChangeInstrument(id, [](SimulatedInstrument& i) { i.style = CS_AZONIX; });
  port.TimeOut(200);
  EXPECT_GE(MillisecondsOf([&] { reply = port.ReadPort(err, "PV"); }), 200);
  EXPECT_EQ(reply, "+0023.45");
  EXPECT_EQ(err, CE_NONE);
}

TEST_F(RealLineExchangeTest, PiecesAreJoined) {
  auto instrument = Instrument();
  instrument.behaviour.pieceSize = 3;
  instrument.behaviour.pieceGap = milliseconds(20);
  sim.AddInstrument(instrument);
  EXPECT_EQ(port.ReadPort(err, "PV"), "+0023.45");
  EXPECT_EQ(err, CE_NONE);
}

TEST_F(RealLineExchangeTest, SilentInstrumentGetsRetriesTransmissionsThenTimeOut) {
  TraceCapture trace;
  auto instrument = Instrument();
  instrument.behaviour.silent = true;
  sim.AddInstrument(instrument);
  port.Retries(3);
  port.TimeOut(100);
  port.Debugging(true);
  EXPECT_EQ(port.ReadPort(err, "PV"), "");
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_EQ(sim.Received(), "\rPV\r\rPV\r\rPV\r");
  const Lines texts = trace.Texts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Timeout on COM port 41 (attempt 1)"), 1);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Timeout on COM port 41 (attempt 2)"), 1);
}

TEST_F(RealLineExchangeTest, CharacterCheckAndLineEndFiltering) {
  auto instrument = Instrument();
  instrument.replies["A"] = "x\x80";
  instrument.replies["B"] = "x\x81";
  instrument.replies["TWO"] = "1\r\n2";
  instrument.behaviour.paced = false;  // both lines arrive together
  sim.AddInstrument(instrument);
  EXPECT_EQ(port.ReadPort(err, "A"), "x\x80");
  EXPECT_EQ(err, CE_NONE);
  EXPECT_EQ(port.ReadPort(err, "B"), "x\x81");
  EXPECT_EQ(err, CE_INVALID_DATA);
  EXPECT_EQ(port.ReadPort(err, "TWO"), "1  2") << "both lines arrive together";
  port.StripCRLF(false);
  EXPECT_EQ(port.ReadPort(err, "PV"), "+0023.45\r\n");
}

TEST_F(RealLineExchangeTest, AutoCloseIsRestoredAndTheLineClosed) {
  sim.AddInstrument(Instrument());
  port.ReadPort(err, "PV");
  EXPECT_TRUE(port.AutoClose());
  EXPECT_FALSE(port.COMControl().PortOpen());
  port.AutoClose(false);
  port.ReadPort(err, "PV");
  EXPECT_TRUE(port.COMControl().PortOpen());
  port.ClosePort();
}

TEST_F(RealLineExchangeTest, NoPortAbortsAndAMissingDeviceRaisesFromWritePort) {
  CCOMPort unset;
  EXPECT_EQ(unset.ReadPort(err, "PV"), "");
  EXPECT_EQ(err, CE_ABORTED);

  MapPortToDevice(3, scratch.Path("no-such-tty"));
  port.port(3);
  try {
    port.WritePort(err, "PV");
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), static_cast<int32_t>(0x80040033));
    EXPECT_EQ(e.Description(), "Cannot open COM port 3");
  }
  MapPortToDevice(3, "");
}

TEST_F(RealLineExchangeTest, TraceOfOneFullExchange) {
  TraceCapture trace;
  sim.AddInstrument(Instrument());
  port.Debugging(true);
  port.ReadPort(err, "PV");
  EXPECT_EQ(trace.Texts(), (Lines{"Opening COM port 41 with settings 115200,N,8,1", "Sending 'PV' on COM port 41",
                                  "Received '+0023.45\r\n' (raw) on COM port 41", "Closed COM port 41",
                                  "Received '+0023.45' (filtered) on COM port 41"}));
}

TEST_F(RealLineExchangeTest, FarEndUnpluggedMidReplyEndsWithoutHanging) {
  auto instrument = Instrument();
  instrument.behaviour.unplugAfter = 3;
  sim.AddInstrument(instrument);
  port.Retries(2);
  port.TimeOut(100);
  std::string reply;
  EXPECT_LT(MillisecondsOf([&] { reply = port.ReadPort(err, "PV"); }), 2000);
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_NE(port.LineError().number, 0) << "the loss is named, not taken for silence";
}

}  // namespace
}  // namespace kivocom
