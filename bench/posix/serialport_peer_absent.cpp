// SPDX-License-Identifier: MIT
// Built when the system has no libserialport: there is no peer to compare with.
#include "serialport_peer.h"

namespace kivocom::bench {

std::unique_ptr<SerialPortPeer> CreateSerialPortPeer(const std::string&) { return nullptr; }

}  // namespace kivocom::bench
