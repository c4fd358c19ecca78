// SPDX-License-Identifier: MIT
// How a program reaches a simulator that runs in a host process of its own: the Windows build under
// Wine starts the native simulator host, whose engine answers on a pseudo-terminal that Wine
// shows as a COM port.
//
// The program listens on a loopback TCP port and starts the host as
//   kivocom_simhost <tcp port> <token>
// The host connects, sends one message holding the token, then one reply to the opening: the COM
// number it linked to its pseudo-terminal, or the error that stopped it. From then on the program
// sends one request at a time and reads its reply; requests are handled in order, so a wait holds
// the connection until it ends. When the program closes its side, the host stops its engine,
// removes the COM link and closes the connection: the end of the stream says the link is gone.
//
// Messages, their fields and replies are laid out as wire_format.h describes; a request is its
// code and its arguments.
#pragma once

#include <cstdint>

#include "kivocom/simulator.h"
#include "simulator/wire_format.h"

namespace kivocom {

// The requests, their arguments and results.
enum class HostRequest : uint8_t {
  kSetBaudRate = 1,          // I32 rate
  kBaudRate = 2,             // -> I32
  kAddInstrument = 3,        // instrument, Text switch port -> U64 id
  kReplaceInstrument = 4,    // U64 id, instrument
  kInstrument = 5,           // U64 id -> instrument
  kUseSmartSwitch = 6,       // I32 model
  kRemoveSmartSwitch = 7,    //
  kConnectedSwitchPort = 8,  // -> Text
  kReceived = 9,             // -> Text
  kClearReceived = 10,       //
  kWaitForCount = 11,        // U64 count, I64 milliseconds -> Bool
  kWaitForSequence = 12,     // Text sequence, I64 milliseconds -> Bool
  kUnplug = 13,              //
  kUnplugged = 14,           // -> Bool
};

// Every field of `instrument`, in declaration order.
void WriteInstrument(WireWriter& writer, const SimulatedInstrument& instrument);
SimulatedInstrument ReadInstrument(WireReader& reader);

}  // namespace kivocom
