// SPDX-License-Identifier: MIT
// download: pull stored readings with a progress bar; Ctrl-C (or a request to terminate) cancels
// and keeps what arrived.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "commands.h"
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

bool ToStandardOutput(const std::string& output) { return output.empty() || output == "-"; }

std::string SystemReason() { return errno ? std::string(": ") + std::strerror(errno) : std::string(); }

// A bad output path fails before anything is transferred; the file is opened for appending, so
// an existing file is not emptied yet.
void RequireWritableOutput(const std::string& output) {
  if (ToStandardOutput(output)) return;
  errno = 0;
  std::ofstream probe(output, std::ios::binary | std::ios::app);
  if (!probe) throw ToolFailure(kExitOutputError, "cannot write " + output + SystemReason() + "; nothing was downloaded");
}

bool WriteFile(const std::string& path, const std::string& data) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << data;
  file.close();
  return static_cast<bool>(file);
}

// Data that could not go where it was asked is kept in a new file the message names.
void WriteResult(const std::string& data, const std::string& output) {
  if (ToStandardOutput(output)) {
    std::cout << data << std::flush;
    return;
  }
  errno = 0;
  if (WriteFile(output, data)) {
    std::cerr << "Wrote " << data.size() << " bytes to " << output << ".\n";
    return;
  }
  const std::string failed = "could not write " + output + SystemReason() + "; the " + std::to_string(data.size()) + " bytes ";
  std::string kept;
  try {
    kept = (std::filesystem::path(MakeTemporaryFolder("kivocom-download-")) / "readings").string();
  } catch (const ToolFailure&) {
  }
  if (kept.empty() || !WriteFile(kept, data)) throw ToolFailure(kExitOutputError, failed + "could not be saved anywhere");
  throw ToolFailure(kExitOutputError, failed + "are saved in " + kept);
}

std::string WhereDataWent(const std::string& output) {
  return ToStandardOutput(output) ? "went to standard output" : "are in " + output;
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
    WriteResult(data, d.output);
    received = data.size();
  }
  if (err == CE_TIMEOUT) RequirePortOpens(*port);
  if (err == CE_TIMEOUT)
    throw ToolFailure(kExitTimeout, "no data from " + ComName(port->port()) + " in " + std::to_string(port->Retries()) +
                                        " attempt(s) of " + std::to_string(port->TimeOut()) +
                                        " ms; check the instrument, the command and --baud/--style");
  const std::string bytes = std::to_string(received) + " bytes";
  if (err == CE_ABORTED && port->LineError().number != 0)
    throw ToolFailure(kExitPortError, "the device on " + ComName(port->port()) + " went away after " + bytes + "; the " +
                                          bytes + " " + WhereDataWent(d.output));
  if (err == CE_ABORTED) throw ToolFailure(kExitAborted, "download cancelled after " + bytes);
}

}  // namespace

void AddDownloadCommand(CLI::App& app) {
  auto options = std::make_shared<PortOptions>();
  auto d = std::make_shared<DownloadOptions>();
  CLI::App* download = app.add_subcommand("download", "pull stored readings, with a progress bar (Ctrl-C cancels)");
  download->add_option("CMD", d->cmd, "the command that starts the transfer")->required();
  download->add_option("--readings,-n", d->readings, "readings expected (the progress total)")->check(CLI::PositiveNumber);
  download->add_flag("--binary", d->binary, "count 10-character records after a 4-character header");
  download->add_option("--output,-o", d->output, "write the data to FILE (default: standard output)");
  AddPortOptions(*download, *options);
  download->callback([options, d] { RunDownload(*options, *d); });
}

}  // namespace kivotool
