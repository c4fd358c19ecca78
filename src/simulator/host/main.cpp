// SPDX-License-Identifier: MIT
// kivocom_simhost: the instrument simulator's engine in a native process, for programs that cannot
// run it themselves (the Windows build under Wine). Started by InstrumentSimulator as
//   kivocom_simhost <loopback tcp port> <token>
// it links its pseudo-terminal as a COM port of the Wine prefix and serves the program's requests
// until the program closes the connection (see simulator/host_protocol.h).
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "simulator/host/com_port_link.h"
#include "simulator/host/controlling_terminal.h"
#include "simulator/host/host_session.h"
#include "simulator/host/program_connection.h"
#include "simulator/host_protocol.h"
#include "simulator/posix/simulator_engine.h"

namespace kivocom {
namespace {

// What the host holds while it serves, released in reverse: the COM link goes first, then the
// terminal the host keeps, then the engine closes the far end.
struct HostedSimulator {
  SimulatorEngine engine;
  ControllingTerminal terminal{engine.SlavePath()};
  ComPortLink link{engine.SlavePath()};
};

// Opens the simulator and tells the program the COM number, or the error that stopped it.
std::unique_ptr<HostedSimulator> Open(ProgramConnection& program) {
  try {
    auto hosted = std::make_unique<HostedSimulator>();
    WireWriter opened;
    opened.U8(kReplyOk).I32(hosted->link.Number());
    if (!program.Send(opened.Bytes())) return nullptr;
    return hosted;
  } catch (const Error& error) {
    program.Send(ErrorReply(error));
    return nullptr;
  }
}

int Serve(uint16_t port, const std::string& token) {
  ProgramConnection program(port);
  if (!program.Send(token)) return 1;
  const std::unique_ptr<HostedSimulator> hosted = Open(program);
  if (!hosted) return 1;
  HostSession session(hosted->engine);
  while (const std::optional<std::string> request = program.Receive()) {
    if (!program.Send(session.Answer(*request))) break;
  }
  return 0;
}

std::optional<uint16_t> PortArgument(const char* text) {
  char* end = nullptr;
  const long port = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || port < 1 || port > 65535) return std::nullopt;
  return static_cast<uint16_t>(port);
}

}  // namespace
}  // namespace kivocom

int main(int argc, char** argv) {
  const std::optional<uint16_t> port = argc == 3 ? kivocom::PortArgument(argv[1]) : std::nullopt;
  if (!port) {
    std::cerr << "usage: kivocom_simhost <loopback tcp port> <token>\n"
                 "Started by the Windows build's InstrumentSimulator under Wine; not meant to be run by hand.\n";
    return 2;
  }
  try {
    return kivocom::Serve(*port, argv[2]);
  } catch (const kivocom::Error& error) {
    std::cerr << "kivocom_simhost: " << error.Description() << "\n";
    return 1;
  }
}
