// SPDX-License-Identifier: MIT
// The tool never loses a download or reports a failure as success: a device that goes away, an
// output that cannot be written, standard output on a full disk, a request to terminate.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "kivocom/kivocom.h"
#include "support/tool_fixture.h"

namespace kivocom {
namespace {

class ToolOutputTest : public ToolTest {
 protected:
  std::vector<std::string> Download(const std::string& output, std::vector<std::string> more = {}) {
    std::vector<std::string> args = Line("download", {"-n", "20", "-o", output});
    args.insert(args.begin() + 1, "DL");
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  // `args` run by the shell with standard output sent to `target`.
  ToolResult RunWithOutputTo(const std::vector<std::string>& args, const std::string& target) {
    std::string line = "exec '" + kTool + "'";
    for (const std::string& arg : args) line += " '" + arg + "'";
    return RunTool("/bin/sh", {"-c", line + " >" + target});
  }
  SimulatedInstrument Readings(int32_t perPiece = 0, int gapMs = 0) {
    SimulatedInstrument instrument;
    instrument.download = StoredReadings{"DL", 20, false, perPiece, std::chrono::milliseconds(gapMs)};
    return instrument;
  }
};

TEST_F(ToolOutputTest, DeviceGoneMidDownloadKeepsTheDataAndIsAPortError) {
  SimulatedInstrument instrument = Readings(2, 50);
  instrument.behaviour.unplugAfter = 40;
  sim.AddInstrument(instrument);
  const std::string file = scratch.Path("k.txt");
  const ToolResult r = Run(Download(file));
  EXPECT_EQ(r.exitCode, 4) << r.err;
  const std::string kept = ReadFileBytes(file);
  EXPECT_NE(r.err.find("went away after " + std::to_string(kept.size()) + " bytes; the " +
                       std::to_string(kept.size()) + " bytes are in " + file),
            std::string::npos)
      << r.err;
  EXPECT_EQ(kept, StoredReadingsStream(instrument.download).substr(0, kept.size()));
  EXPECT_GE(kept.size(), 20u);
}

TEST_F(ToolOutputTest, DeviceGoneMidReplyIsAPortErrorWithoutRetries) {
  SimulatedInstrument instrument;
  instrument.behaviour.unplugAfter = 2;
  sim.AddInstrument(instrument);
  const std::vector<std::string> args{"query", "PV", "--device", sim.DevicePath(), "--port", "42", "--baud", "115200",
                                      "--timeout", "3000", "--retries", "5"};
  const ToolResult r = Run(args);
  EXPECT_EQ(r.exitCode, 4) << r.err;
  EXPECT_NE(r.err.find("went away during the exchange and cannot be opened again"), std::string::npos) << r.err;
  EXPECT_EQ(sim.Received(), "\rPV\r");
}

TEST_F(ToolOutputTest, UnwritableOutputFailsBeforeTheTransfer) {
  sim.AddInstrument(Readings());
  for (const std::string& output : {scratch.Path("no-such-folder/out.txt"), scratch.Path("")}) {
    const ToolResult r = Run(Download(output));
    EXPECT_EQ(r.exitCode, 7) << output << ": " << r.err;
    EXPECT_NE(r.err.find("nothing was downloaded"), std::string::npos) << r.err;
  }
  EXPECT_EQ(sim.Received(), "") << "the instrument was not asked";
}

TEST_F(ToolOutputTest, OutputThatFailsAfterTheTransferIsSavedElsewhere) {
  const auto instrument = Readings();
  sim.AddInstrument(instrument);
  const ToolResult r = Run(Download("/dev/full"));
  EXPECT_EQ(r.exitCode, 7) << r.err;
  const std::string marker = "bytes are saved in ";
  const auto at = r.err.find(marker);
  ASSERT_NE(at, std::string::npos) << r.err;
  const std::string saved = r.err.substr(at + marker.size(), r.err.find('\n', at) - at - marker.size());
  EXPECT_EQ(ReadFileBytes(saved), StoredReadingsStream(instrument.download));
  std::remove(saved.c_str());
}

TEST_F(ToolOutputTest, FullStandardOutputIsAnError) {
  const auto instrument = Readings();
  sim.AddInstrument(instrument);
  std::vector<std::string> query = Line("query");
  query.insert(query.begin() + 1, "PV");
  ToolResult r = RunWithOutputTo(query, "/dev/full");
  EXPECT_EQ(r.exitCode, 7) << r.err;
  EXPECT_NE(r.err.find("could not write to standard output"), std::string::npos) << r.err;
  r = RunWithOutputTo(Download("-"), "/dev/full");
  EXPECT_EQ(r.exitCode, 7) << r.err;
}

TEST_F(ToolOutputTest, TerminationRequestCancelsTheDownloadAndKeepsTheData) {
  SimulatedInstrument instrument;
  instrument.download = StoredReadings{"DL", 100, false, 1, std::chrono::milliseconds(100)};
  sim.AddInstrument(instrument);
  const std::string file = scratch.Path("k.txt");
  const std::string pidFile = scratch.Path("pid");
  std::string line = "echo $$ >'" + pidFile + "'; exec '" + kTool + "'";
  for (const std::string& arg : Download(file)) line += " '" + arg + "'";
  ToolResult r;
  std::thread tool([&] { r = RunTool("/bin/sh", {"-c", line}); });
  EXPECT_TRUE(sim.WaitForReceived("DL\r", std::chrono::milliseconds(10000)));
  pid_t pid = 0;
  std::ifstream(pidFile) >> pid;
  if (pid > 0) kill(pid, SIGTERM);
  tool.join();
  EXPECT_EQ(r.exitCode, 3) << r.err;
  const std::string kept = ReadFileBytes(file);
  EXPECT_FALSE(kept.empty());
  EXPECT_EQ(kept, StoredReadingsStream(instrument.download).substr(0, kept.size()));
}

TEST_F(ToolOutputTest, ATraceThatCannotBeWrittenIsSaidAndTheEnvironmentsFolderIsUsed) {
  sim.AddInstrument(SimulatedInstrument{});
  std::vector<std::string> query = Line("query", {"--trace", scratch.Path("missing-folder")});
  query.insert(query.begin() + 1, "PV");
  ToolResult r = Run(query);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("warning: cannot write the trace to"), std::string::npos) << r.err;
  query = Line("query", {"--trace"});
  query.insert(query.begin() + 1, "PV");
  setenv("KIVOCOM_TRACE_DIR", scratch.Folder().c_str(), 1);
  r = Run(query);
  unsetenv("KIVOCOM_TRACE_DIR");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(ReadFileBytes(scratch.Path("dbgkcom.txt")).find("Sending 'PV'"), std::string::npos);
}

TEST_F(ToolOutputTest, SwitchTestTakesTheSwitchFromSavedSettings) {
  sim.UseSmartSwitch(SSS_BB4PORT);
  const std::string file = scratch.Path("sw.ini");
  ASSERT_EQ(Run({"settings", "save", file, "--port", "42", "--baud", "115200", "--switch", "bb4"}).exitCode, 0);
  const ToolResult r = Run({"switch-test", "--settings", file, "--device", sim.DevicePath()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(sim.Received().find("\x1b\x02" "D\r"), std::string::npos) << "the sweep reached port D";
}

// A saved port number names the same device later only when the mapping is recorded, and it is
// recorded only when asked: pseudo-terminal and adapter names are reused by the system.
TEST_F(ToolOutputTest, SavingADevicePathRecordsItsNumberOnlyWhenAsked) {
  setenv("KIVOCOM_PORTS_DIR", scratch.Path("ports").c_str(), 1);
  const std::string file = scratch.Path("meter.ini");
  ToolResult r = Run({"settings", "save", file, "--device", "/dev/pts/7", "--port", "6", "--baud", "9600"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(std::filesystem::exists(scratch.Path("ports/com6")));
  EXPECT_NE(r.err.find("The file records COM6, which named /dev/pts/7 for this run only; --record-device records it"),
            std::string::npos)
      << r.err;
  r = Run({"settings", "save", file, "--device", "/dev/ttyUSB7", "--port", "6", "--baud", "9600", "--record-device"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(scratch.Path("ports/com6")), "/dev/ttyUSB7\n");
  EXPECT_NE(r.err.find("COM6 now names /dev/ttyUSB7 (recorded in " + scratch.Path("ports/com6") + ")"), std::string::npos)
      << r.err;
  r = Run({"settings", "save", file, "--device", "/dev/ttyUSB8", "--port", "6", "--baud", "9600", "--record-device"});
  EXPECT_EQ(r.exitCode, 64) << "COM6 already names another device";
  EXPECT_EQ(ReadFileBytes(scratch.Path("ports/com6")), "/dev/ttyUSB7\n");
  unsetenv("KIVOCOM_PORTS_DIR");
}

// Hand-written ports-folder files that name no device are said to, shown as text.
TEST_F(ToolOutputTest, PortsFolderFilesThatNameNoDeviceAreNamedWithTheirFault) {
  setenv("KIVOCOM_PORTS_DIR", scratch.Folder().c_str(), 1);
  WriteFileBytes(scratch.Path("com3"), "# the meter\n/dev/ttyUSB0\n");
  WriteFileBytes(scratch.Path("com4"), std::string("\x00\x1b[31m\xff", 7));
  ToolResult r = Run({"query", "PV", "--port", "3", "--baud", "9600"});
  EXPECT_EQ(r.exitCode, 4) << r.err;
  EXPECT_NE(r.err.find("com3 begins with the comment line \"# the meter\""), std::string::npos) << r.err;
  r = Run({"query", "PV", "--port", "4", "--baud", "9600"});
  EXPECT_EQ(r.exitCode, 4) << r.err;
  EXPECT_NE(r.err.find("com4 is not text (it begins <NUL><ESC>[31m<xFF>)"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << "no raw bytes reach the terminal";
  r = Run({"ports"});
  EXPECT_NE(r.err.find("warning: " + scratch.Path("com3") + " begins with the comment line"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("warning: " + scratch.Path("com4") + " is not text"), std::string::npos) << r.err;
  unsetenv("KIVOCOM_PORTS_DIR");
}

// Messages read as one sentence each: a description's full stop does not run into "; ".
TEST_F(ToolOutputTest, MessagesAreWholeSentences) {
  const std::string file = scratch.Path("partial.ini");
  WriteFileBytes(file, "[COMPort]\nPort=3\n");
  ToolResult r = Run({"query", "PV", "--settings", file, "--baud", "9600"});
  EXPECT_EQ(r.exitCode, 5) << r.err;
  EXPECT_EQ(r.err.find(".;"), std::string::npos) << r.err;
  r = Run({"download", "DL", "-n", "0", "--port", "3", "--baud", "9600"});
  EXPECT_EQ(r.exitCode, 64) << r.err;
  EXPECT_NE(r.err.find("--readings must be 1 to 2147483647, not 0"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kivocom
