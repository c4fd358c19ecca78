// SPDX-License-Identifier: MIT
// `kivocom spy` between programs and a simulated instrument: the tool's own exchanges decoded,
// a hand-written program's settings followed and its odd bytes passed on unaltered, a program
// that reopens its end, a device that goes away, and a recorded session replayed.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "kivocom/session_replay.h"
#include "support/posix/background_tool.h"
#include "support/tool_fixture.h"

namespace kivocom {
namespace {

using namespace std::chrono_literals;

// The program's end of the spy, opened as a program opens a serial port.
class ProgramEnd {
 public:
  explicit ProgramEnd(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
  ~ProgramEnd() {
    if (fd_ >= 0) close(fd_);
  }
  ProgramEnd(const ProgramEnd&) = delete;
  ProgramEnd& operator=(const ProgramEnd&) = delete;
  bool IsOpen() const { return fd_ >= 0; }
  void Set(speed_t speed, tcflag_t flags) {
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    t.c_cflag = (t.c_cflag & ~(CSIZE | PARENB | PARODD | CSTOPB)) | flags | CLOCAL | CREAD;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    tcsetattr(fd_, TCSANOW, &t);
  }
  void Send(const std::string& bytes) { ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  // What arrives until `end` is in it or `timeoutMs` passes; `hungUp` tells whether the line
  // hung up instead.
  std::string ReadUntil(const std::string& end, int timeoutMs = 2000, bool* hungUp = nullptr) {
    std::string got;
    while (got.find(end) == std::string::npos) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, timeoutMs) <= 0) break;
      char buffer[256];
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) {
        if (hungUp) *hungUp = true;
        break;
      }
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }

 private:
  int fd_;
};

class SpyTest : public ToolTest {
 protected:
  // Starts the spy in front of the simulator with `more` options; returns its program device.
  std::string StartSpy(std::vector<std::string> more = {"--decode", "--json"}) {
    std::vector<std::string> args{"spy", sim.DevicePath(), "--baud", "115200"};
    args.insert(args.end(), more.begin(), more.end());
    spy = std::make_unique<BackgroundTool>(kTool, args);
    const bool json = std::find(more.begin(), more.end(), "--json") != more.end();
    const std::string lead = json ? "\"program_device\":\"" : "the program opens ";
    EXPECT_TRUE(spy->WaitFor(json ? "\"event\":\"ready\"" : " (program) <-> ")) << spy->Output();
    const std::string& out = spy->Output();
    const auto at = out.find(lead);
    if (at == std::string::npos) return "";
    const auto start = at + lead.size();
    return out.substr(start, out.find_first_of("\" ", start) - start);
  }
  // Runs the tool through the spy's device.
  ToolResult Through(const std::string& programDevice, std::vector<std::string> args) {
    args.insert(args.end(), {"--device", programDevice, "--port", "42", "--baud", "115200", "--timeout", "300",
                             "--retries", "2", "--style", "omega", "--address", "01", "--switch", "bb4"});
    return Run(args);
  }
  void AddOmegaPair() {
    sim.UseSmartSwitch(SSS_BB4PORT);
    SimulatedInstrument a;
    a.style = CS_OMEGA;
    a.address = "01";
    a.replies["PV"] = "+0024.45";
    SimulatedInstrument b = a;
    b.replies["ID"] = "METER B";
    sim.AddInstrument(a, "A");
    sim.AddInstrument(b, "B");
  }
  // The tool's omega poll and set on switch port A and a query on port B, through the spy.
  void RunThreeExchanges(const std::string& programDevice) {
    ToolResult r = Through(programDevice, {"query", "PV", "--switch-port", "A"});
    EXPECT_EQ(r.out, "+0024.45\n") << r.err;
    r = Through(programDevice, {"send", "SL", "--set", "100.0", "--switch-port", "A"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = Through(programDevice, {"query", "ID", "--switch-port", "B"});
    EXPECT_EQ(r.out, "METER B\n") << r.err;
  }
  std::unique_ptr<BackgroundTool> spy;
};

TEST_F(SpyTest, DecodesTheToolsOmegaFramesAndSwitchRoutes) {
  AddOmegaPair();
  const std::string programDevice = StartSpy();
  RunThreeExchanges(programDevice);
  EXPECT_EQ(spy->Stop(), 0);
  const std::string& out = spy->Output();
  for (const char* expected :
       {"\"frame\":\"switch-release\",\"model\":\"bb4\"", "\"frame\":\"switch-select\",\"model\":\"bb4\",\"port\":\"A\"",
        "\"frame\":\"lone-cr\"", "\"frame\":\"omega-poll\",\"address\":\"01\",\"command\":\"PV\"",
        "\"frame\":\"reply\",\"text\":\"+0024.45\",\"line_end\":\"CR LF\",\"gap_ms\":",
        "\"frame\":\"omega-set\",\"address\":\"01\",\"body\":\"SL100.0\",\"check\":\"33\",\"right_check\":\"33\","
        "\"check_ok\":true",
        "\"frame\":\"ack\"", "\"port\":\"B\"", "\"frame\":\"reply\",\"text\":\"METER B\""})
    EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
}

TEST_F(SpyTest, FollowsTheProgramsSettingsAndPassesEveryByteUnaltered) {
  SimulatedInstrument instrument;
  instrument.style = CS_OMEGA;
  instrument.address = "01";
  sim.AddInstrument(instrument);
  // Linux pseudo-terminals keep 8 bits without parity whatever a program sets: the device's are
  // given, and the speed and stop bits the program chooses are followed.
  const std::string programDevice = StartSpy({"--decode", "--json", "--data-bits", "7", "--parity", "E"});
  ProgramEnd program(programDevice);
  ASSERT_TRUE(program.IsOpen());
  program.Set(B19200, CS7 | PARENB | CSTOPB);
  const std::string garbage("\x00\xFF\x1B\x02\x7F\x80\xFE\x00\r", 9);
  const std::string badSet = "\x04" "0011\x02SL100.0\x03\x32\r";
  program.Send(garbage);
  program.Send(badSet);
  EXPECT_EQ(program.ReadUntil("\n"), "\x15\r\n") << "the instrument refuses the bad check";
  ASSERT_TRUE(sim.WaitForReceived(garbage + badSet, 2000ms));
  EXPECT_EQ(sim.Received(), garbage + badSet);

  termios device{};
  const int fd = open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  tcgetattr(fd, &device);
  close(fd);
  EXPECT_EQ(cfgetospeed(&device), B19200);
  EXPECT_TRUE(device.c_cflag & CSTOPB) << "the simulator's pseudo-terminal shows speed and stop bits only";

  EXPECT_EQ(spy->Stop(), 0);
  const std::string& out = spy->Output();
  EXPECT_NE(out.find("\"settings\":\"19200,E,7,2\""), std::string::npos) << out;
  EXPECT_NE(out.find("00 FF 1B 02 7F 80 FE 00"), std::string::npos) << out;
  EXPECT_NE(out.find("\"check\":\"32\",\"right_check\":\"33\",\"check_ok\":false"), std::string::npos) << out;
  EXPECT_NE(out.find("\"frame\":\"nak\""), std::string::npos) << out;
}

TEST_F(SpyTest, KeepsGoingWhenTheProgramReopensAndHangsItUpWhenTheDeviceGoes) {
  SimulatedInstrument instrument;
  instrument.replies["PV"] = "+1";
  sim.AddInstrument(instrument);
  const std::string programDevice = StartSpy({"--decode", "--record", scratch.Path("session.rec")});
  for (int opening = 0; opening < 2; ++opening) {
    ProgramEnd program(programDevice);
    program.Send("\rPV\r");
    EXPECT_EQ(program.ReadUntil("\n"), "+1\r\n") << "opening " << opening;
  }
  ProgramEnd program(programDevice);
  sim.Unplug();
  bool hungUp = false;
  program.ReadUntil("never", 3000, &hungUp);
  EXPECT_TRUE(hungUp) << "the program's end is hung up";
  EXPECT_EQ(spy->Wait(), 4);
  EXPECT_NE(spy->Output().find("lost  " + sim.DevicePath() + " went away"), std::string::npos) << spy->Output();
  const std::string record = ReadFileBytes(scratch.Path("session.rec"));
  EXPECT_NE(record.find("P "), std::string::npos) << record;
  EXPECT_NE(record.find("X "), std::string::npos) << "the loss is recorded:\n" << record;
}

TEST_F(SpyTest, ReplayedRecordAnswersTheSameProgramAsTheInstrumentDid) {
  AddOmegaPair();
  const std::string programDevice = StartSpy({"--record", scratch.Path("session.rec")});
  RunThreeExchanges(programDevice);
  EXPECT_EQ(spy->Stop(), 0);

  BackgroundTool replay(kTool, {"simulate", "--replay", scratch.Path("session.rec")});
  ASSERT_TRUE(replay.WaitFor("Ctrl-C")) << replay.Output();
  EXPECT_NE(replay.Output().find("behind a bb4 switch (ports A, B)"), std::string::npos) << replay.Output();
  const auto at = replay.Output().find("KIVOCOM_COM9=");
  ASSERT_NE(at, std::string::npos);
  const std::string replayDevice = replay.Output().substr(at + 13, replay.Output().find('\n', at) - at - 13);
  RunThreeExchanges(replayDevice);
  EXPECT_EQ(replay.Stop(), 0);
}

}  // namespace
}  // namespace kivocom
