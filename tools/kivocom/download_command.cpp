// download: pull stored readings with a progress bar; Ctrl-C cancels and keeps what arrived.
#include <fstream>
#include <iostream>
#include <memory>

#include "commands.h"
#include "exit_codes.h"
#include "kivocom/comport.h"
#include "kivocom/progress_window.h"
#include "port_options.h"
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

void WriteResult(const std::string& data, const std::string& output) {
  if (output.empty() || output == "-") {
    std::cout << data << std::flush;
    return;
  }
  std::ofstream file(output, std::ios::binary);
  file << data;
  file.close();
  if (!file) throw ToolFailure(kExitSettingsError, "could not write " + output);
  std::cerr << "Wrote " << data.size() << " bytes to " << output << ".\n";
}

void RunDownload(const PortOptions& options, const DownloadOptions& d) {
  auto port = MakePort(options);
  RequirePortReady(*port);
  ECOMError err = CE_NONE;
  size_t received = 0;
  {
    // Ctrl-C cancels the download, which keeps the data; the data is written before the tool
    // lets an interrupt end it again.
    InterruptCancelsDownload interrupt;
    const std::string data = port->Download(d.binary, err, d.cmd, options.switchPort, options.address, d.readings);
    WriteResult(data, d.output);
    received = data.size();
  }
  if (err == CE_TIMEOUT)
    throw ToolFailure(kExitTimeout, "no data from " + ComName(port->port()) + " in " + std::to_string(port->Retries()) +
                                        " attempt(s) of " + std::to_string(port->TimeOut()) + " ms");
  if (err == CE_ABORTED) throw ToolFailure(kExitAborted, "download cancelled after " + std::to_string(received) + " bytes");
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
