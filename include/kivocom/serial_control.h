// SPDX-License-Identifier: MIT
// The serial communications control: the one object through which the library drives a serial
// line. All port objects of a thread share the thread's control, and so share one line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kivocom {

// One serial line. Members raise kivocom::Error (source "SerialControl - <member>") when they fail.
class SerialControl {
 public:
  virtual ~SerialControl() = default;

  // True while the line is open.
  virtual bool PortOpen() = 0;
  // True opens the port named by CommPort with the current Settings; False closes it.
  virtual void PortOpen(bool open) = 0;
  // The port number opened next; used in trace lines.
  virtual int32_t CommPort() = 0;
  // Names the port to open; only while the line is closed (8005 otherwise, 8002 below 1).
  virtual void CommPort(int32_t port) = 0;
  // The line settings text, such as "9600,N,8,1".
  virtual std::string Settings() = 0;
  // Sets the line settings; a text the line cannot honour raises 8015 or 380, never approximates.
  virtual void Settings(const std::string& settings) = 0;
  // Transmits every character of `data` as one byte.
  virtual void Output(const std::string& data) = 0;
  // Bytes handed to Output and not yet on the wire.
  virtual int32_t OutBufferCount() = 0;
  // Assigning 0 discards every byte not yet transmitted.
  virtual void OutBufferCount(int32_t count) = 0;
  // Received bytes waiting to be read.
  virtual int32_t InBufferCount() = 0;
  // Assigning 0 discards every received byte not yet read.
  virtual void InBufferCount(int32_t count) = 0;
  // Returns and removes every waiting received byte; empty when none wait.
  virtual std::string Input() = 0;
  // Discards the received bytes that arrived before the last Output handed its bytes to the line;
  // bytes that arrived after it (an instrument's quick answer) stay for Input. A control that
  // keeps no such mark discards every waiting byte, as assigning 0 to InBufferCount does.
  virtual void DiscardInputBeforeLastOutput() { InBufferCount(0); }
  // True raises the DTR line, False drops it, at once.
  virtual void DTREnable(bool enable) = 0;
  // True raises the RTS line, False drops it, at once.
  virtual void RTSEnable(bool enable) = 0;

  // Blocks until received bytes wait or `timeoutMs` has passed, without using the processor.
  // Returns true when bytes wait. Raises like InBufferCount when the line cannot be read.
  virtual bool WaitForInput(int64_t timeoutMs) = 0;
  // Blocks until every byte handed to Output is on the wire or `timeoutMs` has passed.
  // Returns true when the transmit buffer is empty.
  virtual bool WaitForDrain(int64_t timeoutMs) = 0;
};

// The calling thread's control, created on first use and kept for the thread's life.
// Raises kivocom::Error when the platform's control cannot be created.
std::shared_ptr<SerialControl> ThreadSerialControl();

// Makes `control` the calling thread's control for port objects created from now on;
// nullptr returns the thread to the platform's control (created again on next use).
void InstallThreadSerialControl(std::shared_ptr<SerialControl> control);

// Creates a new control of this platform. Each opening reaches the line the port number maps to:
// a local serial device (through termios on POSIX systems), or a network port written
// rfc2217://host:port (settings, modem lines and purges through the server) or tcp://host:port
// (bytes only; the settings text is kept but not applied).
std::shared_ptr<SerialControl> CreatePlatformSerialControl();

}  // namespace kivocom
