// SPDX-License-Identifier: MIT
// Running the tool with its standard error on a terminal, for what it draws only there.
#pragma once

#include "support/tool_run.h"

namespace kivocom {

// RunTool with the tool's standard error on the terminal device `errTerminal` instead of a pipe.
ToolResult RunToolOnTerminal(const std::string& tool, const std::vector<std::string>& args, int timeoutMs,
                             int errTerminal);

}  // namespace kivocom
