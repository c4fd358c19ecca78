// SPDX-License-Identifier: MIT
#include "port_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "exit_codes.h"
#include "kivocom/error.h"
#include "kivocom/kivo_ini_file.h"
#include "kivocom/port_devices.h"
#include "kivocom/port_probe.h"
#include "kivocom/serial_control.h"
#include "kivocom/smart_switch.h"
#include "memory_ini_file.h"
#include "ports_folder_notes.h"
#include "simulated_bench.h"
#include "tool_messages.h"
#include "tool_system.h"
#include "visible_text.h"

namespace kivotool {
namespace {

using namespace kivocom;

constexpr const char* kToolSection = "kivocom";

EBaudRate BaudIndex(const CCOMPort& port, int baud) {
  std::string rates;
  for (int32_t i = BAUD_150; i <= BAUD_921600; ++i) {
    if (port.BaudRateName(i) == std::to_string(baud)) return static_cast<EBaudRate>(i);
    rates += (rates.empty() ? "" : ", ") + port.BaudRateName(i);
  }
  throw ToolFailure(kExitUsage, std::to_string(baud) + " baud is not a rate ports take; the rates are " + rates);
}

// The switch port names the model has: A to D, A to H, or 1 to 8.
void CheckSwitchPort(const std::string& model, const std::string& name) {
  const ESmartSwitchStyle style = SwitchModelByName(model);
  const int count = style == SSS_BB4PORT ? 4 : 8;
  for (int n = 1; n <= count; ++n)
    if (SwitchPortName(style, n) == name) return;
  throw ToolFailure(kExitUsage, "a " + model + " switch has the ports " + SwitchPortName(style, 1) + " to " +
                                    SwitchPortName(style, count) + ", not " + name);
}

// What the options cannot mean, said before anything is opened.
void CheckOptions(const PortOptions& o, const CCOMPort& port) {
  if (o.address.size() > 2)
    throw ToolFailure(kExitUsage, "--address takes at most two characters (an omega frame carries two), not " + o.address);
  if (o.switchPort.empty()) return;
  if (!port.UsesSmartSwitch())
    throw ToolFailure(kExitUsage, "--switch-port needs --switch bb4|bb8|bt528, or --settings with a saved switch");
  if (!o.switchModel.empty()) CheckSwitchPort(o.switchModel, o.switchPort);
}

void LoadSettings(CCOMPort& port, const std::string& fileAndSection) {
  const auto colon = fileAndSection.rfind(':');
  const std::string file = colon == std::string::npos ? fileAndSection : fileAndSection.substr(0, colon);
  const std::string section = colon == std::string::npos ? "COMPort" : fileAndSection.substr(colon + 1);
  std::shared_ptr<IniFile> ini;
  const int before = Messages().Shown();
  Messages().Hold(true);
  const bool complete = port.ReadFromFile(ini, file, section);
  Messages().Hold(false);
  if (!complete)
    throw ToolFailure(kExitSettingsError, "could not read port settings from section [" + section + "] of " + file +
                                              (Messages().Shown() != before ? ": " + Clause(Messages().Last()) : std::string()) +
                                              "; `kivocom settings show` shows what it holds");
}

// The trace goes to `folder`; an empty one means KIVOCOM_TRACE_DIR when set, else the current
// folder. A trace that cannot be written is said once, and the command goes on without it.
void TraceTo(CCOMPort& port, const std::string& folder) {
  const char* configured = std::getenv("KIVOCOM_TRACE_DIR");
  const std::string chosen = !folder.empty() ? folder : (configured && *configured ? configured : ".");
  const std::string file = (std::filesystem::path(chosen) / "dbgkcom.txt").string();
  errno = 0;
  if (!std::ofstream(file, std::ios::binary | std::ios::app)) {
    std::cerr << "kivocom: warning: cannot write the trace to " << file
              << (errno ? std::string(" (") + std::strerror(errno) + ")" : std::string()) << "; going on without it\n";
    return;
  }
  SetEnvironmentValue("KIVOCOM_TRACE_DIR", chosen);
  port.Debugging(true);
}

}  // namespace

std::string ComName(int32_t port) { return "COM" + std::to_string(port); }

CLI::Validator WholeNumber(long long low, long long high, const std::string& unit) {
  const std::string range = "must be " + std::to_string(low) + " to " + std::to_string(high) + unit;
  return CLI::Validator(
      [low, high, range](std::string& text) {
        std::size_t used = 0;
        long long value = 0;
        try {
          value = std::stoll(text, &used);
        } catch (const std::exception&) {
          return range + ", not " + text;
        }
        return used == text.size() && value >= low && value <= high ? std::string() : range + ", not " + text;
      },
      std::to_string(low) + "-" + std::to_string(high));
}


void SetSwitchModel(CCOMPort& port, ESmartSwitchStyle model) {
  std::shared_ptr<IniFile> memory = std::make_shared<MemoryIniFile>();
  port.WriteToFile(memory, "", kToolSection);
  CSmartSwitch modelSwitch;
  modelSwitch.Style(model);
  modelSwitch.WriteToFile(memory, "", std::string(kToolSection) + " - SmartSwitch");
  const bool debugging = port.Debugging();
  port.ReadFromFile(memory, "", kToolSection);
  port.Debugging(debugging);
}

void AddPortOptions(CLI::App& command, PortOptions& o) {
  command.add_option("--port,-p", o.port, "COM number of the instrument's port")->check(WholeNumber(1, 256));
  command.add_option("--device,-d", o.device, "device path to use as the port (mapped to --port, or COM1)");
  command.add_option("--baud,-b", o.baud, "line speed in baud (150 ... 921600)");
  command.add_option("--style", o.style, "controller style")->check(CLI::IsMember({"kivo", "omega", "azonix", "xsys"}));
  command.add_option("--address,-a", o.address, "instrument address (omega style)");
  command.add_option("--switch", o.switchModel, "smart switch model in front of the instruments")
      ->check(CLI::IsMember({"bb4", "bb8", "bt528"}));
  command.add_option("--switch-port", o.switchPort, "switch port of the instrument (A-H, or 1-8 for bt528)");
  command.add_option("--timeout", o.timeout, "milliseconds to wait for a reply in each attempt")
      ->check(WholeNumber(1, 3600000, " ms"));
  command.add_option("--retries", o.retries, "transmissions of the command in all")->check(WholeNumber(1, 32767));
  command.add_flag("--raw", o.raw, "keep line ends in the reply");
  command.add_flag("--no-ascii-check", o.noAsciiCheck, "accept reply characters above 128");
  command.add_option("--trace", o.trace, "trace the traffic to dbgkcom.txt in DIR (default: KIVOCOM_TRACE_DIR, else the current folder)")
      ->expected(0, 1)
      ->default_str("");
  command.add_option("--settings", o.settings, "load a saved port from FILE[:SECTION] (default section COMPort)");
}

std::unique_ptr<CCOMPort> MakePort(const PortOptions& o) {
  auto port = std::make_unique<CCOMPort>();
  port->MinBaudRate(BAUD_150);
  port->MaxBaudRate(BAUD_921600);
  if (!o.settings.empty()) LoadSettings(*port, o.settings);
  if (!o.device.empty()) {
    const int number = o.port ? o.port : (port->port() > 0 ? port->port() : 1);
    MapPortToDevice(number, o.device);
    port->port(number);
  } else if (o.port) {
    port->port(o.port);
  }
  if (o.baud) port->BaudRate(BaudIndex(*port, o.baud));
  if (!o.style.empty()) port->ControllerStyle(StyleByName(o.style));
  if (!o.switchModel.empty()) {
    SetSwitchModel(*port, SwitchModelByName(o.switchModel));
    port->UsesSmartSwitch(true);
  }
  if (o.timeout >= 0) port->TimeOut(o.timeout);
  if (o.retries > 0) port->Retries(static_cast<int16_t>(o.retries));
  if (o.raw) port->StripCRLF(false);
  if (o.noAsciiCheck) port->CheckNonAscii(false);
  CheckOptions(o, *port);
  if (o.trace) TraceTo(*port, *o.trace);
  return port;
}

void RequirePortReady(CCOMPort& port) {
  const int32_t number = port.port();
  if (number < 1)
    throw ToolFailure(kExitUsage, "no port chosen: give --port N or --device PATH (`kivocom ports` lists the ports)");
  // Only a missing device is decided before the exchange: the exchange's own opening is the only
  // one, since every opening raises the modem lines (some instruments reset) and routes the switch.
  if (IsCOMPortAvailable(number) == kPortNotFound) {
    const std::string problem = PortsFileProblem(number);
    if (!problem.empty())
      throw ToolFailure(kExitPortError, ComName(number) + " names no device: " + problem + "; `kivocom ports` lists the ports");
    throw ToolFailure(kExitPortError, ComName(number) + " is " + Visible(PortDevicePath(number)) +
                                          ", which has no device behind it; `kivocom ports` lists the ports");
  }
  if (port.BaudRate() == BAUD_NONE)
    throw ToolFailure(kExitUsage, "no baud rate chosen: give --baud, the instrument's rate (9600 is common)");
}

void RequirePortOpens(CCOMPort& port) {
  SerialControl& line = port.COMControl();
  try {
    if (line.PortOpen()) return;
    line.CommPort(port.port());
    line.PortOpen(true);
    line.PortOpen(false);
  } catch (const Error& cause) {
    const int32_t number = port.port();
    throw ToolFailure(kExitPortError,
                      "cannot open " + ComName(number) + " (" + PortDevicePath(number) + "): " + cause.Description());
  }
}

}  // namespace kivotool
