// SPDX-License-Identifier: MIT
// The kivocom tool's download progress bar, drawn only when its standard error is a terminal.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "kivocom/kivocom.h"
#include "support/posix/tool_run_posix.h"
#include "support/tool_fixture.h"

namespace kivocom {
namespace {

TEST_F(ToolTest, DownloadDrawsItsProgressBarOnATerminal) {
  SimulatedInstrument instrument;
  instrument.download = StoredReadings{"DL", 10, false, 5, std::chrono::milliseconds(300)};
  sim.AddInstrument(instrument);
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(terminal, 0);
  std::vector<std::string> args = Line("download", {"-n", "10", "-o", scratch.Path("readings.txt")});
  args.insert(args.begin() + 1, "DL");
  const ToolResult r = RunToolOnTerminal(kTool, args, 20000, terminal);
  close(terminal);
  std::string screen;
  char buffer[4096];
  for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) screen.append(buffer, static_cast<std::size_t>(n));
  close(master);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(screen.find("Downloading... ["), std::string::npos) << screen;
  EXPECT_NE(screen.find("10/10 readings"), std::string::npos) << screen;
  EXPECT_NE(screen.find("\r\033[K"), std::string::npos) << "the bar is cleared at the end";
}

}  // namespace
}  // namespace kivocom
