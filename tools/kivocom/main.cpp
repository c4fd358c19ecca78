// SPDX-License-Identifier: MIT
// kivocom: talk to serial instruments from a terminal, or try it all on a simulated instrument.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

#include "commands.h"
#include "exit_codes.h"
#include "kivocom/error.h"
#include "kivocom/progress_window.h"
#include "kivocom/version.h"
#include "tool_messages.h"

namespace kivotool {

namespace {
// The handler is shared with the library, which holds it for the thread.
std::shared_ptr<ToolMessages> MessagesHandler() {
  static const auto messages = std::make_shared<ToolMessages>();
  return messages;
}
}  // namespace

ToolMessages& Messages() { return *MessagesHandler(); }

namespace {

constexpr const char* kExitCodesHelp =
    "Exit status: 0 success, 1 time-out (no reply or acknowledgement), 2 invalid data (characters\n"
    "above 128, or a set value refused with NAK),\n"
    "3 aborted (download cancelled), 4 port error (missing, in use, cannot open, or gone),\n"
    "5 settings file error, 6 demonstration step failed, 7 output not written (file or standard output),\n"
    "64 usage error (a wrong option, or no port or baud rate chosen), 70 unexpected failure of the tool.";

bool HasCommand(CLI::App& app, const std::string& name) {
  for (const CLI::App* command : app.get_subcommands({}))
    if (command->get_name() == name) return true;
  return false;
}

std::string CommandNames(CLI::App& app) {
  std::string names;
  for (const CLI::App* command : app.get_subcommands({})) names += (names.empty() ? "" : ", ") + command->get_name();
  return names;
}

// CLI11's text as one line that points at the help: "--timeout: must be ..." reads "--timeout
// must be ...".
std::string UsageError(std::string text) {
  if (const auto at = text.find(": must be "); at != std::string::npos) text.erase(at, 1);
  return text + " (`kivocom --help` and `kivocom COMMAND --help` show the usage)";
}

int Run(int argc, char** argv) {
  CLI::App app{"kivocom: talk to laboratory instruments over RS-232 serial lines", "kivocom"};
  app.footer(kExitCodesHelp);
  app.set_version_flag("--version", std::string("kivocom ") + kivocom::Version(), "Print the version and exit");
  app.require_subcommand(1);
  AddDemoCommand(app);
  AddPortsCommand(app);
  AddQueryCommand(app);
  AddSendCommand(app);
  AddDownloadCommand(app);
  AddSwitchTestCommand(app);
  AddSettingsCommands(app);
  AddSimulateCommand(app);
  AddSpyCommand(app);
  AddServeCommand(app);
  for (CLI::App* command : app.get_subcommands({})) command->footer(kExitCodesHelp);
  // Answered before parsing: the parser checks for the required command before it sees the flag.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << app.version() << "\n";
    return kExitOk;
  }
  if (argc > 1 && argv[1][0] != '-' && !HasCommand(app, argv[1]))
    throw ToolFailure(kExitUsage, std::string("unknown command ") + argv[1] + "; the commands are " + CommandNames(app));
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    throw ToolFailure(kExitUsage, UsageError(e.what()));
  }
  return kExitOk;
}

}  // namespace
}  // namespace kivotool

namespace kivotool {
namespace {

int RunReportingFailures(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const ToolFailure& failure) {
    std::cerr << "kivocom: " << failure.what() << "\n";
    return failure.code;
  } catch (const kivocom::Error& e) {
    std::cerr << "kivocom: " << e.Description() << " (" << e.Source() << ")\n";
    return kExitPortError;
  } catch (const std::exception& e) {
    std::cerr << "kivocom: unexpected failure: " << e.what() << "; please report it\n";
    return kExitInternal;
  }
}

// What was printed must have reached standard output: a full disk or a closed pipe is an error,
// not a success.
int CheckStandardOutput(int code) {
  errno = 0;
  std::cout.flush();
  const bool failed = !std::cout || std::fflush(stdout) != 0 || std::ferror(stdout);
  if (!failed) return code;
  std::cerr << "kivocom: could not write to standard output" << (errno ? std::string(": ") + std::strerror(errno) : "")
            << "\n";
  return code == kExitOk ? kExitOutputError : code;
}

}  // namespace
}  // namespace kivotool

int main(int argc, char** argv) {
  using namespace kivotool;
  kivocom::InstallThreadUserMessages(MessagesHandler());
  // A console tool shows a download's progress on the console, on every system.
  kivocom::InstallThreadProgressWindowFactory(kivocom::CreateTerminalProgressWindow);
  return CheckStandardOutput(RunReportingFailures(argc, argv));
}
