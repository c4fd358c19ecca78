// SPDX-License-Identifier: MIT
// The options that set up a port object, shared by the commands that talk to an instrument.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <string>

#include "kivocom/comport.h"

namespace kivotool {

struct PortOptions {
  int port = 0;                  // COM number (0: not given)
  std::string device;            // a device path mapped to the COM number for this run
  int baud = 0;                  // line speed in baud (0: not given)
  std::string style;             // kivo, omega, azonix or xsys
  std::string address;           // instrument address (omega)
  std::string switchModel;       // bb4, bb8 or bt528
  std::string switchPort;        // switch port to route through
  int timeout = -1;              // milliseconds per attempt (-1: not given)
  int retries = -1;              // transmissions (-1: not given)
  bool raw = false;              // keep line ends in replies
  bool noAsciiCheck = false;     // accept characters above 128
  std::optional<std::string> trace;  // trace to dbgkcom.txt in this folder ("" for the current one)
  std::string settings;          // FILE[:SECTION] to load a saved port from
};

// A check of a whole number from `low` to `high`, refused in plain words ("must be 1 to 3600000
// ms, not 0").
CLI::Validator WholeNumber(long long low, long long high, const std::string& unit = "");

// Adds the port options to `command`.
void AddPortOptions(CLI::App& command, PortOptions& options);

// A port object set up from the options: saved settings first, then the options given.
std::unique_ptr<kivocom::CCOMPort> MakePort(const PortOptions& options);

// Makes sure a port is chosen and a device stands behind it, without opening it, raising a
// ToolFailure that says what to do when not.
void RequirePortReady(kivocom::CCOMPort& port);

// After an exchange that got nothing: raises a ToolFailure naming the cause when the port cannot
// be opened (held by another program, no permission, gone); returns when it can.
void RequirePortOpens(kivocom::CCOMPort& port);

// Gives the port's own smart switch the model `model` (a port's switch takes its model only from
// settings, so it goes in through an in-memory settings section); the port's settings stay.
void SetSwitchModel(kivocom::CCOMPort& port, kivocom::ESmartSwitchStyle model);

// "COM3" for port 3.
std::string ComName(int32_t port);

}  // namespace kivotool
