// SPDX-License-Identifier: MIT
// The tool's commands. Each Add* registers one command on the application; the command runs
// through its callback and reports failure by raising ToolFailure.
#pragma once

#include <CLI/CLI.hpp>

namespace kivotool {

void AddQueryCommand(CLI::App& app);
void AddSendCommand(CLI::App& app);
void AddDownloadCommand(CLI::App& app);
void AddSwitchTestCommand(CLI::App& app);
void AddSettingsCommands(CLI::App& app);
void AddPortsCommand(CLI::App& app);
void AddSimulateCommand(CLI::App& app);
void AddDemoCommand(CLI::App& app);
void AddSpyCommand(CLI::App& app);
void AddServeCommand(CLI::App& app);

}  // namespace kivotool
