// SPDX-License-Identifier: MIT
// The server half of the Telnet COM-port control option (RFC 2217): reading a client's request
// and answering it for a port whose settings the server fixes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/line/serial_settings_text.h"

namespace kivocom {

// What a client's request asks of the server's port, beyond its answer.
enum class ComPortAction { None, PurgeReceive, PurgeTransmit, PurgeBoth };

struct ComPortAnswer {
  std::string bytes;                 // the whole answer subnegotiation; empty when none is due
  ComPortAction action = ComPortAction::None;
  std::string refused;               // the setting the client asked for that differs from `inForce`
};

// The answer to the client's COM-port subnegotiation `payload` (its bytes after the option,
// 0xFF undoubled). A request to set the rate, data size, parity, stop size or flow control is
// answered with the value in force, as the RFC has a server do that cannot change it, so a
// client that asked for other settings learns so; modem line and mask requests are acknowledged;
// a purge is acknowledged and returned as an action; the signature request gets `signature`.
ComPortAnswer AnswerComPortRequest(const std::string& payload, const LineSettings& inForce,
                                   const std::string& signature);

}  // namespace kivocom
