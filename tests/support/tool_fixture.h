// SPDX-License-Identifier: MIT
// A fixture for running the built kivocom tool against a simulated instrument.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kivocom/simulator.h"
#include "support/scratch_folder.h"
#include "support/tool_run.h"

namespace kivocom {

#ifdef KIVOCOM_TOOL_PATH
inline const std::string kTool = KIVOCOM_TOOL_PATH;
#else
inline const std::string kTool;
#endif

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (kTool.empty()) GTEST_SKIP() << "the tool is not built";
    sim.SetBaudRate(115200);
  }
  ToolResult Run(const std::vector<std::string>& args) { return RunTool(kTool, args); }
  std::vector<std::string> Line(const std::string& command, std::vector<std::string> more = {}) {
    std::vector<std::string> args{command, "--device", sim.DevicePath(), "--port", "42", "--baud", "115200",
                                  "--timeout", "200", "--retries", "2"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  InstrumentSimulator sim;
  ScratchFolder scratch;
};

}  // namespace kivocom
