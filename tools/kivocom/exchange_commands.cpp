// SPDX-License-Identifier: MIT
// query, send and switch-test: one exchange with an instrument, or the switch sweep.
#include <chrono>
#include <iostream>
#include <memory>

#include "commands.h"
#include "exit_codes.h"
#include "kivocom/comport.h"
#include "kivocom/error.h"
#include "kivocom/serial_control.h"
#include "port_options.h"
#include "tool_messages.h"
#include "visible_text.h"

namespace kivotool {
namespace {

using namespace kivocom;

// The start of a reply that is not printed, so the error line says what came without flooding it.
constexpr std::size_t kReplyShown = 32;

std::string PartialReply(const std::string& reply) {
  if (reply.empty()) return "";
  return "; a partial reply of " + std::to_string(reply.size()) + " bytes came (not printed): " +
         VisibleStart(reply, kReplyShown);
}

// A reply is printed only when it is the instrument's whole reply; how an exchange that ended
// early ended is said on standard error, with the start of what came.
void ReportEarlyEnd(CCOMPort& port, const std::string& reply) {
  const ErrorRecord& ended = port.LineError();
  const std::string com = ComName(port.port());
  if (ended.number == kErrReadingDevice)
    throw ToolFailure(kExitPortError, "the device on " + com + " went away during the exchange (" +
                                          Clause(ended.description) + ")" + PartialReply(reply));
  if (ended.number == kErrTooMuchData) throw ToolFailure(kExitInvalidData, Clause(ended.description) + PartialReply(reply));
  if (ended.number != 0) throw ToolFailure(kExitPortError, Clause(ended.description) + PartialReply(reply));
}

void RunQuery(const PortOptions& options, const std::string& cmd) {
  auto port = MakePort(options);
  RequirePortReady(*port);
  ECOMError err = CE_NONE;
  const std::string reply = port->ReadPort(err, cmd, options.switchPort, options.address);
  ReportEarlyEnd(*port, reply);
  if (err == CE_TIMEOUT) RequirePortOpens(*port);
  switch (err) {
    case CE_TIMEOUT:
      throw ToolFailure(kExitTimeout, "no complete reply from " + ComName(port->port()) + " in " +
                                          std::to_string(port->Retries()) + " attempt(s) of " +
                                          std::to_string(port->TimeOut()) +
                                          " ms; check the instrument, its address and --baud/--style" +
                                          PartialReply(reply));
    case CE_INVALID_DATA:
      std::cout << reply << (options.raw ? "" : "\n") << std::flush;
      throw ToolFailure(kExitInvalidData,
                        "the reply holds characters above 128 (wrong --baud or --style?); --no-ascii-check accepts them");
    case CE_ABORTED: throw ToolFailure(kExitAborted, "no port chosen");
    case CE_NONE: std::cout << reply << (options.raw ? "" : "\n") << std::flush; break;
  }
}

constexpr char kAck = 0x06, kNak = 0x15;

// The omega instrument's answer to a set frame: ACK or NAK, within TimeOut. Waiting for it keeps
// it from being read as the reply of the next exchange.
char AwaitSetAnswer(CCOMPort& port) {
  SerialControl& line = port.COMControl();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(port.TimeOut());
  std::string heard;
  while (heard.find_first_of(std::string{kAck, kNak}) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !line.WaitForInput(left.count())) return 0;
    heard += line.Input();
  }
  return heard[heard.find_first_of(std::string{kAck, kNak})];
}

void RunSend(const PortOptions& options, const std::string& cmd, const std::string& setValue) {
  auto port = MakePort(options);
  if (!setValue.empty() && port->ControllerStyle() != CS_OMEGA)
    throw ToolFailure(kExitUsage, "--set sends an omega set frame: give --style omega and --address");
  RequirePortReady(*port);
  const bool setFrame = port->ControllerStyle() == CS_OMEGA && !setValue.empty();
  ECOMError err = CE_NONE;
  char answer = 0;
  try {
    port->AutoClose(!setFrame);
    port->WritePort(err, cmd, options.switchPort, options.address, setValue);
    if (setFrame && err == CE_NONE) answer = AwaitSetAnswer(*port);
    port->ClosePort();
  } catch (const Error& e) {
    RequirePortOpens(*port);
    throw ToolFailure(kExitPortError, e.Description());
  }
  if (err != CE_NONE) throw ToolFailure(ExitFor(err), "no port chosen");
  if (setFrame && answer == 0)
    throw ToolFailure(kExitTimeout, "no acknowledgement from " + ComName(port->port()) + " within " +
                                        std::to_string(port->TimeOut()) + " ms; check the instrument and --address");
  if (answer == kNak)
    throw ToolFailure(kExitInvalidData, "the instrument refused the value (NAK); check the command, the value and --address");
}

void RunSwitchTest(const PortOptions& options) {
  auto port = MakePort(options);
  if (!port->UsesSmartSwitch())
    throw ToolFailure(kExitUsage, "switch-test needs --switch bb4|bb8|bt528, or --settings with a saved switch");
  RequirePortReady(*port);
  try {
    port->TestSmartSwitch();
  } catch (const Error& e) {
    RequirePortOpens(*port);
    throw ToolFailure(kExitPortError, e.Description());
  }
  std::cerr << "Swept the switch ports of " << ComName(port->port()) << ".\n";
}

}  // namespace

void AddQueryCommand(CLI::App& app) {
  auto options = std::make_shared<PortOptions>();
  auto cmd = std::make_shared<std::string>();
  CLI::App* query = app.add_subcommand("query", "send a command and print the instrument's reply");
  query->add_option("CMD", *cmd, "the instrument command")->required();
  AddPortOptions(*query, *options);
  query->callback([options, cmd] { RunQuery(*options, *cmd); });
}

void AddSendCommand(CLI::App& app) {
  auto options = std::make_shared<PortOptions>();
  auto cmd = std::make_shared<std::string>();
  auto setValue = std::make_shared<std::string>();
  CLI::App* send = app.add_subcommand("send", "send a command that has no reply");
  send->add_option("CMD", *cmd, "the instrument command")->required();
  send->add_option("--set", *setValue,
                   "value of an omega set command (sends a set frame with its block check and waits for ACK)");
  AddPortOptions(*send, *options);
  send->callback([options, cmd, setValue] { RunSend(*options, *cmd, *setValue); });
}

void AddSwitchTestCommand(CLI::App& app) {
  auto options = std::make_shared<PortOptions>();
  CLI::App* sweep = app.add_subcommand("switch-test", "step a smart switch through all its ports, 200 ms each");
  AddPortOptions(*sweep, *options);
  sweep->callback([options] { RunSwitchTest(*options); });
}

}  // namespace kivotool
