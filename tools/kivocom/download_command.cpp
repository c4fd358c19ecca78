// SPDX-License-Identifier: MIT
// download: pull stored readings with a progress bar; Ctrl-C (or a request to terminate) cancels
// and keeps what arrived.
#include <cstdint>
#include <memory>

#include "commands.h"
#include "download_output.h"
#include "exit_codes.h"
#include "kivocom/comport.h"
#include "kivocom/error.h"
#include "kivocom/progress_window.h"
#include "port_options.h"
#include "tool_messages.h"
#include "tool_system.h"

namespace kivotool {
namespace {

using namespace kivocom;

struct DownloadOptions {
  std::string cmd;
  int readings = 1;
  bool binary = false;
  std::string output;
};

// A download that brought nothing leaves the output as it was.
std::string NothingWritten(const std::string& output) {
  return ToStandardOutput(output) ? "nothing was written" : "nothing was written and " + output + " is as it was";
}

// Says how the download ended when it did not simply succeed; the data is already written.
void ReportEnd(CCOMPort& port, ECOMError err, std::size_t received, const std::string& output) {
  const ErrorRecord& ended = port.LineError();
  const std::string com = ComName(port.port());
  const std::string bytes = std::to_string(received) + " bytes";
  const std::string kept = received ? "the " + bytes + " " + WhereDataWent(output) : NothingWritten(output);
  if (ended.number == kErrCannotOpenPort)
    throw ToolFailure(kExitPortError, Clause(ended.description) + "; " + kept);
  if (ended.number == kErrReadingDevice)
    throw ToolFailure(kExitPortError, "the device on " + com + " went away after " + bytes + "; " + kept);
  if (ended.number == kErrTooMuchData) throw ToolFailure(kExitInvalidData, Clause(ended.description) + "; " + kept);
  if (ended.number == kErrDataAfterResend)
    throw ToolFailure(kExitInvalidData, com + " began sending only after the command was sent again, so the data may " +
                                            "hold its answers to more than one sending; " + kept +
                                            "; a --timeout longer than the instrument takes to start answering avoids this");
  if (ended.number != 0) throw ToolFailure(kExitPortError, Clause(ended.description) + "; " + kept);
  if (err == CE_TIMEOUT) RequirePortOpens(port);
  if (err == CE_TIMEOUT)
    throw ToolFailure(kExitTimeout, "no data from " + com + " in " + std::to_string(port.Retries()) + " attempt(s) of " +
                                        std::to_string(port.TimeOut()) +
                                        " ms; check the instrument, the command and --baud/--style; " + kept);
  if (err == CE_ABORTED) throw ToolFailure(kExitAborted, "download cancelled after " + bytes + "; " + kept);
}

void RunDownload(const PortOptions& options, const DownloadOptions& d) {
  RequireWritableOutput(d.output);
  auto port = MakePort(options);
  RequirePortReady(*port);
  ECOMError err = CE_NONE;
  size_t received = 0;
  {
    // An interrupt cancels the download, which keeps the data; the data is written before the
    // tool lets an interrupt end it again.
    InterruptCancelsDownload interrupt;
    // The library's "Download cancelled." box is folded into the tool's own line below.
    Messages().Hold(true);
    const std::string data = port->Download(d.binary, err, d.cmd, options.switchPort, options.address, d.readings);
    Messages().Hold(false);
    if (!data.empty()) WriteResult(data, d.output);
    received = data.size();
  }
  ReportEnd(*port, err, received, d.output);
}

}  // namespace

void AddDownloadCommand(CLI::App& app) {
  auto options = std::make_shared<PortOptions>();
  auto d = std::make_shared<DownloadOptions>();
  CLI::App* download = app.add_subcommand("download", "pull stored readings, with a progress bar (Ctrl-C cancels)");
  download->add_option("CMD", d->cmd, "the command that starts the transfer")->required();
  download->add_option("--readings,-n", d->readings, "readings expected (the progress total)")
      ->check(WholeNumber(1, INT32_MAX));
  download->add_flag("--binary", d->binary, "count 10-character records after a 4-character header");
  download->add_option("--output,-o", d->output, "write the data to FILE (default: standard output)");
  AddPortOptions(*download, *options);
  download->callback([options, d] { RunDownload(*options, *d); });
}

}  // namespace kivotool
