// SPDX-License-Identifier: MIT
// serve: shares a port and its smart switch over the network, one whole exchange at a time, until
// Ctrl-C or SIGTERM.
#include <chrono>
#include <ctime>
#include <iostream>
#include <memory>
#include <mutex>

#include "../commands.h"
#include "../exit_codes.h"
#include "kivocom/error.h"
#include "lineserver/line_server.h"
#include "../port_options.h"
#include "../simulated_bench.h"
#include "../tool_system.h"

namespace kivotool {
namespace {

using namespace kivocom;

struct ServeOptions {
  PortOptions port;
  std::string listen = "127.0.0.1:7000";
  std::vector<std::string> downloads;
  int mostClients = 16;
  int longestCommand = 256;
};

// HOST:PORT, the host an IPv6 address in brackets when it holds colons.
std::pair<std::string, int> ListenAddress(const std::string& text) {
  const auto colon = text.rfind(':');
  const auto usage = [&] { return ToolFailure(kExitUsage, "--listen takes HOST:PORT, such as 127.0.0.1:7000, not " + text); };
  if (colon == std::string::npos || colon == 0) throw usage();
  std::string host = text.substr(0, colon);
  if (host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  int port = 0;
  try {
    std::size_t used = 0;
    port = std::stoi(text.substr(colon + 1), &used);
    if (used != text.size() - colon - 1) throw usage();
  } catch (const std::logic_error&) {
    throw usage();
  }
  if (port < 1 || port > 65535) throw usage();
  return {host, port};
}

void Log(const std::string& line) {
  static std::mutex mutex;
  const std::time_t now = std::time(nullptr);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%H:%M:%S", std::localtime(&now));
  std::lock_guard lock(mutex);
  std::cerr << "kivocom serve " << stamp << ": " << line << std::endl;
}

void RunServe(const ServeOptions& o) {
  const auto [host, firstPort] = ListenAddress(o.listen);
  ServeSettings settings;
  settings.host = host;
  settings.firstPort = firstPort;
  settings.downloads = o.downloads;
  settings.mostClients = static_cast<std::size_t>(o.mostClients);
  settings.longestCommand = static_cast<std::size_t>(o.longestCommand);
  if (!o.port.switchModel.empty()) {
    settings.switchModel = SwitchModelByName(o.port.switchModel);
    const int count = settings.switchModel == SSS_BB4PORT ? 4 : 8;
    for (int n = 1; n <= count; ++n) settings.switchPorts.push_back(SwitchPortName(settings.switchModel, n));
  }
  if (o.port.port == 0 && o.port.device.empty() && o.port.settings.empty())
    throw ToolFailure(kExitUsage, "choose the port to serve with --port N or --device PATH");
  if (o.port.baud == 0 && o.port.settings.empty()) throw ToolFailure(kExitUsage, "choose the line's rate with --baud");

  HoldInterrupts();  // before the server's threads start, so that only the wait below gets them
  const PortOptions portOptions = o.port;
  LineServer server([portOptions] { return MakePort(portOptions); }, settings, Log);
  server.Start();
  WaitForInterrupt();
  Log("stopping");
  server.Stop();
}

}  // namespace

void AddServeCommand(CLI::App& app) {
  auto o = std::make_shared<ServeOptions>();
  CLI::App* serve = app.add_subcommand(
      "serve", "share a port and its smart switch over the network (RFC 2217 and TCP), one exchange at a time");
  serve->add_option("--port,-p", o->port.port, "COM number of the port to serve")->check(CLI::Range(1, 256));
  serve->add_option("--device,-d", o->port.device, "device path to serve (mapped to --port, or COM1)");
  serve->add_option("--baud,-b", o->port.baud, "line speed in baud (150 ... 921600)");
  serve->add_option("--style", o->port.style, "controller style of the instruments")
      ->check(CLI::IsMember({"kivo", "omega", "azonix", "xsys"}));
  serve->add_option("--switch", o->port.switchModel, "smart switch model: one endpoint per switch port")
      ->check(CLI::IsMember({"bb4", "bb8", "bt528"}));
  serve->add_option("--timeout", o->port.timeout, "milliseconds a reply may take, and the silence that ends a download")
      ->check(CLI::Range(1, 3600000));
  serve->add_option("--settings", o->port.settings, "load a saved port from FILE[:SECTION] (default section COMPort)");
  serve->add_option("--listen,-l", o->listen,
                    "HOST:PORT of the first endpoint; the others follow on the next ports (default 127.0.0.1:7000)");
  serve->add_option("--download", o->downloads, "a command whose reply is a download, ending at silence (repeatable)");
  serve->add_option("--max-clients", o->mostClients, "connections at once; more are refused (default 16)")
      ->check(CLI::Range(1, 1024));
  serve->add_option("--max-command", o->longestCommand, "bytes in one command; a longer one drops its client (default 256)")
      ->check(CLI::Range(16, 65536));
  serve->callback([o] { RunServe(*o); });
}

}  // namespace kivotool
