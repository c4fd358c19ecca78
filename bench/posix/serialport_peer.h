// SPDX-License-Identifier: MIT
// The peer library's client for the exchange benchmark: libserialport's blocking API, built only
// when the system has the library (found through pkg-config); the benchmark skips the peer
// otherwise.
#pragma once

#include <memory>
#include <string>

namespace kivocom::bench {

class SerialPortPeer {
 public:
  virtual ~SerialPortPeer() = default;
  // One exchange as every ReadPort runs it: open and set up the line at 115,200 baud, 8N1, no flow
  // control; write the bytes ReadPort sends; read until the reply's LF; close. True when the reply
  // is the instrument's.
  virtual bool ReopenExchange() = 0;
  // The library and its version, for the table, such as "libserialport 0.1.1".
  virtual std::string Name() const = 0;
};

// The peer client for the device at `path`; nullptr when the benchmark was built without the
// library or the library cannot find the device.
std::unique_ptr<SerialPortPeer> CreateSerialPortPeer(const std::string& path);

}  // namespace kivocom::bench
