// SPDX-License-Identifier: MIT
// The kivocom tool run as a program against the simulated instrument: queries in each style,
// exit codes, a download to a file, settings saved then shown.
#include <gtest/gtest.h>

#include "kivocom/kivocom.h"
#include "support/tool_fixture.h"

namespace kivocom {
namespace {

TEST_F(ToolTest, QueryInEachStylePrintsTheReply) {
  SimulatedInstrument instrument;
  instrument.address = "07";
  instrument.replies["PV"] = "+0042.00";
  const auto id = sim.AddInstrument(instrument);
  for (const auto& [name, style] : {std::pair{"kivo", CS_KIVO}, std::pair{"omega", CS_OMEGA},
                                    std::pair{"azonix", CS_AZONIX}, std::pair{"xsys", CS_XSYS}}) {
    sim.ChangeInstrument(id, [style = style](SimulatedInstrument& i) { i.style = style; });
    std::vector<std::string> args = Line("query", {"--style", name, "--address", "07"});
    args.insert(args.begin() + 1, "PV");
    const ToolResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
    EXPECT_EQ(r.out, "+0042.00\n") << name;
  }
}

TEST_F(ToolTest, ExitCodesForTimeOutAndMissingPort) {
  SimulatedInstrument silent;
  silent.behaviour.silent = true;
  sim.AddInstrument(silent);
  std::vector<std::string> args = Line("query");
  args.insert(args.begin() + 1, "PV");
  ToolResult r = Run(args);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("no complete reply"), std::string::npos) << r.err;

  // Where the system cannot tell a missing device without opening it (a mapped port on Windows),
  // the exchange's own opening tells.
  r = Run({"query", "PV", "--device", scratch.Path("no-such-tty"), "--port", "43", "--baud", "9600", "--timeout", "200",
           "--retries", "1"});
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_NE(r.err.find("COM43 is " + scratch.Path("no-such-tty") + ", which has no device behind it"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(Run({"query", "PV"}).exitCode, 64) << "no port chosen is a usage error";
  EXPECT_EQ(Run({"query"}).exitCode, 64);
}

TEST_F(ToolTest, DownloadWritesTheReadingsToAFile) {
  SimulatedInstrument instrument;
  instrument.download = StoredReadings{"DL", 12, false, 0, std::chrono::milliseconds(0)};
  sim.AddInstrument(instrument);
  std::vector<std::string> args = Line("download", {"-n", "12", "-o", scratch.Path("readings.txt")});
  args.insert(args.begin() + 1, "DL");
  const ToolResult r = Run(args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(scratch.Path("readings.txt")), StoredReadingsStream(instrument.download));
}

// Every opening raises the modem lines (some instruments reset) and routes the switch again: one
// command opens the port once.
TEST_F(ToolTest, QueryOpensThePortOnce) {
  sim.UseSmartSwitch(SSS_BB4PORT);
  SimulatedInstrument instrument;
  sim.AddInstrument(instrument, "B");
  std::vector<std::string> args = Line("query", {"--switch", "bb4", "--switch-port", "B", "--trace", scratch.Folder()});
  args.insert(args.begin() + 1, "PV");
  const ToolResult r = Run(args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::string trace = ReadFileBytes(scratch.Path("dbgkcom.txt"));
  std::size_t openings = 0;
  for (auto at = trace.find("Opening COM port"); at != std::string::npos; at = trace.find("Opening COM port", at + 1))
    ++openings;
  EXPECT_EQ(openings, 1u) << trace;
  EXPECT_EQ(sim.Received(), "\x1b\x02\x04\x1b\x02" "B\r\rPV\r\x1b\x02\x04") << "one selection, one release";
}

TEST_F(ToolTest, SettingsSavedThenShown) {
  const std::string file = scratch.Path("port.ini");
  WriteFileBytes(file, "[Client]\r\nKeep=1\r\n");
  ToolResult r = Run({"settings", "save", file, "--section", "Meter", "--port", "4", "--baud", "19200", "--style",
                      "omega", "--switch", "bt528", "--timeout", "1500"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = Run({"settings", "show", file, "--section", "Meter"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  for (const char* expected : {"COM4", "19200", "omega", "bt528 (8 ports)", "1500 ms"})
    EXPECT_NE(r.out.find(expected), std::string::npos) << expected << " in\n" << r.out;
  EXPECT_EQ(ReadFileBytes(file).rfind("[Client]\r\nKeep=1\r\n", 0), 0u) << "the client's section kept";
  EXPECT_EQ(Run({"settings", "show", scratch.Path("missing.ini")}).exitCode, 5);
}

TEST_F(ToolTest, SettingsShowMarksWhatTheFileLacksInsteadOfCarryingValuesOver) {
  const std::string file = scratch.Path("part.ini");
  WriteFileBytes(file, "[Meter]\r\nPort=4\r\nTimeOut=1500\r\n");
  const ToolResult r = Run({"settings", "show", file, "--section", "Meter"});
  EXPECT_EQ(r.exitCode, 5);
  for (const char* expected : {"COM4", "1500 ms", "BaudRate         (missing)", "Retries          (missing)"})
    EXPECT_NE(r.out.find(expected), std::string::npos) << expected << " in\n" << r.out;
}

// Usage errors are caught before anything is opened, said in one line in plain words.
TEST_F(ToolTest, UsageErrorsAreOneLineInPlainWords) {
  const struct {
    std::vector<std::string> args;
    const char* says;
  } rows[] = {
      {{"foo"}, "unknown command foo; the commands are demo"},
      {{"query", "PV", "--port", "0"}, "--port must be 1 to 256, not 0"},
      {{"query", "PV", "--port", "3", "--timeout", "0"}, "--timeout must be 1 to 3600000 ms"},
      {{"query", "PV", "--port", "3", "--baud", "14400"}, "the rates are 150, 300"},
      {{"query", "PV", "--port", "3", "--baud", "9600", "--switch", "bb4", "--switch-port", "E"}, "ports A to D, not E"},
      {{"query", "PV", "--port", "3", "--baud", "9600", "--switch-port", "A"}, "--switch-port needs --switch"},
      {{"send", "SP", "--set", "5", "--port", "3", "--baud", "9600"}, "--set sends an omega set frame"},
      {{"query", "PV", "--port", "3", "--baud", "9600", "--address", "123"}, "at most two characters"},
      {{"query", "PV", "--device", sim.DevicePath(), "--port", "42"}, "no baud rate chosen"},
  };
  for (const auto& row : rows) {
    const ToolResult r = Run(row.args);
    EXPECT_EQ(r.exitCode, 64) << row.says;
    EXPECT_EQ(r.err.rfind("kivocom: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
  }
}

TEST_F(ToolTest, ASettingsFileThatCannotBeSavedIsOneLine) {
  const ToolResult r = Run({"settings", "save", scratch.Folder(), "--port", "3", "--baud", "9600"});
  EXPECT_EQ(r.exitCode, 5);
  EXPECT_EQ(r.err.rfind("kivocom: could not save the settings to", 0), 0u) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
}

TEST_F(ToolTest, SendTransmitsAnOmegaSetFrame) {
  SimulatedInstrument omega;
  omega.style = CS_OMEGA;
  omega.address = "01";
  sim.AddInstrument(omega);
  std::vector<std::string> args = Line("send", {"--style", "omega", "--address", "01", "--set", "100.0"});
  args.insert(args.begin() + 1, "SL");
  const ToolResult r = Run(args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  ASSERT_TRUE(sim.WaitForReceived(16, std::chrono::milliseconds(1000)));
  EXPECT_EQ(sim.Received(), "\r\x04" "0011\x02SL100.0\x03\x33\r");
}

// The set frame's acknowledgement is waited for, so the next exchange reads its own reply; a
// refusal or no answer is an error.
TEST_F(ToolTest, OmegaSetWaitsForItsAnswerAndTheNextQueryIsInStep) {
  SimulatedInstrument omega;
  omega.style = CS_OMEGA;
  omega.address = "01";
  const auto id = sim.AddInstrument(omega);
  const auto command = [&](const std::string& name, const std::string& cmd, std::vector<std::string> more) {
    more.insert(more.end(), {"--style", "omega", "--address", "01"});
    std::vector<std::string> args = Line(name, more);
    args.insert(args.begin() + 1, cmd);
    return Run(args);
  };
  ToolResult r = command("send", "SP", {"--set", "50.0"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  for (int i = 0; i < 3; ++i) {
    r = command("query", "SP", {});
    EXPECT_EQ(r.out, "50.0\n") << r.err;
  }
  sim.ChangeInstrument(id, [](SimulatedInstrument& i) { i.setAcknowledgement = std::string(1, '\x15'); });
  EXPECT_EQ(command("send", "SP", {"--set", "60.0"}).exitCode, 2);
  sim.ChangeInstrument(id, [](SimulatedInstrument& i) { i.setAcknowledgement.reset(); });
  EXPECT_EQ(command("send", "SP", {"--set", "70.0"}).exitCode, 1);
}

}  // namespace
}  // namespace kivocom
