// SPDX-License-Identifier: MIT
// The kivocom tool on network ports: a query through rfc2217:// against a real ser2net, and the
// port list naming mapped network ports without connecting to them.
#include <gtest/gtest.h>

#include "support/environment.h"
#include "support/posix/ser2net_server.h"
#include "support/tool_fixture.h"

namespace kivocom {
namespace {

TEST_F(ToolTest, QueriesThroughRfc2217) {
  Ser2netServer server(sim.DevicePath());
  if (!server.Started()) GTEST_SKIP() << server.Problem();
  SimulatedInstrument instrument;
  instrument.replies["PV"] = "+0023.45";
  sim.AddInstrument(instrument);
  const ToolResult result = Run({"query", "PV", "--device", server.Rfc2217Address(), "--baud", "115200"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "+0023.45\n");
}

TEST_F(ToolTest, PortsListsNetworkPortsWithoutConnecting) {
  SetEnvironment("KIVOCOM_COM201", "rfc2217://127.0.0.1:1");
  const ToolResult result = Run({"ports"});
  UnsetEnvironment("KIVOCOM_COM201");
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::size_t line = result.out.find("COM201 ");
  ASSERT_NE(line, std::string::npos) << result.out;
  const std::string row = result.out.substr(line, result.out.find('\n', line) - line);
  EXPECT_NE(row.find("rfc2217://127.0.0.1:1"), std::string::npos) << row;
  EXPECT_NE(row.find("network"), std::string::npos) << row;
}

}  // namespace
}  // namespace kivocom
