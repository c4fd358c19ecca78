// SPDX-License-Identifier: MIT
// The tool's exit status, by result.
#pragma once

#include <stdexcept>
#include <string>

#include "kivocom/enums.h"

namespace kivotool {

enum ExitCode : int {
  kExitOk = 0,            // success
  kExitTimeout = 1,       // the instrument did not answer in time (CE_TIMEOUT)
  kExitInvalidData = 2,   // the reply held characters above 128 (CE_INVALID_DATA)
  kExitAborted = 3,       // the download was cancelled (CE_ABORTED)
  kExitPortError = 4,     // the port is missing, in use, or could not be opened
  kExitSettingsError = 5,  // a settings file could not be read or written
  kExitDemoFailed = 6,    // a demonstration step did not give the expected answer
  kExitOutputError = 7,   // the output file or standard output could not be written
  kExitInternal = 70,     // an unexpected failure of the tool itself (to be reported)
  kExitUsage = 64,        // the command line is wrong, or names no port or baud rate
};

// The exit status for an exchange's result code.
ExitCode ExitFor(kivocom::ECOMError error);

// A failure the tool reports in one line on standard error and exits with.
struct ToolFailure : std::runtime_error {
  ToolFailure(ExitCode code, const std::string& message) : std::runtime_error(message), code(code) {}
  ExitCode code;
};

}  // namespace kivotool
