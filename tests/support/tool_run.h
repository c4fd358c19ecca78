// SPDX-License-Identifier: MIT
// Runs the built kivocom tool as a separate program and collects its output and exit status.
#pragma once

#include <string>
#include <vector>

namespace kivocom {

struct ToolResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the tool with `args`, waiting up to `timeoutMs` before killing it (exit code -1 then).
ToolResult RunTool(const std::string& tool, const std::vector<std::string>& args, int timeoutMs = 20000);

}  // namespace kivocom
