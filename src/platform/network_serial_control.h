// SPDX-License-Identifier: MIT
// The serial control of a network port: a serial line that a server (ser2net, a terminal server)
// shares over TCP, reached either with the Telnet COM-port control option (rfc2217://), which
// carries the line settings, the modem lines and buffer purges, or as plain bytes (tcp://).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "kivocom/serial_control.h"
#include "platform/com_port_option.h"
#include "platform/network_address.h"
#include "platform/serial_settings_text.h"
#include "platform/socket_stream.h"
#include "platform/telnet_options.h"
#include "platform/telnet_reader.h"

namespace kivocom {

// One connection per opening. Received bytes are read from the socket whenever a member looks at
// the line; what the client has not taken yet waits in the connection's own buffers, so nothing
// is lost. A connection the server closes makes the line read as closed: the bytes that came
// before can still be taken, and then members that need the line raise 8020 (8010 when the
// server said the port is in use) with the server's last text, until the port is opened or closed
// again.
class NetworkSerialControl : public SerialControl {
 public:
  // How long a server has, by default, to answer a settings or modem-line request.
  static constexpr int64_t kDefaultReplyTimeoutMs = 2000;

  // A closed line to `device` (an rfc2217:// or tcp:// path) for port `port`, at `settings`.
  // `replyTimeoutMs` bounds every wait for the server's answer to a request, and the connect.
  NetworkSerialControl(std::string device, int32_t port, const std::string& settings,
                       int64_t replyTimeoutMs = kDefaultReplyTimeoutMs);

  bool PortOpen() override;
  void PortOpen(bool open) override;
  int32_t CommPort() override;
  void CommPort(int32_t port) override;
  std::string Settings() override;
  void Settings(const std::string& settings) override;
  void Output(const std::string& data) override;
  int32_t OutBufferCount() override;
  void OutBufferCount(int32_t count) override;
  int32_t InBufferCount() override;
  void InBufferCount(int32_t count) override;
  std::string Input() override;
  void DiscardInputBeforeLastOutput() override;
  void DTREnable(bool enable) override;
  void RTSEnable(bool enable) override;
  bool WaitForInput(int64_t timeoutMs) override;
  bool WaitForDrain(int64_t timeoutMs) override;

  // The rfc2217:// or tcp:// path this line leads to.
  const std::string& Device() const { return device_; }
  // Ends this opening but keeps the connection for the next one: what is still to be sent goes
  // out first. False, with the line closed, when the connection is gone or will not drain.
  bool Suspend();
  // Opens a suspended line again at `settings`, as a new connection would be: what came in
  // meanwhile is dropped, the server purges its buffers both ways and takes the settings if they
  // changed. False when the connection cannot be used again; the caller then closes it and
  // connects anew.
  bool Resume(const std::string& settings);

 private:
  void Open();
  void Close();
  bool Drain(SocketStream::Deadline deadline);
  void Connect(const NetworkAddress& address);
  void ApplyOnServer(const std::vector<ComPortRequest>& requests, const std::string& source);
  void AwaitReply(const ComPortRequest& request, SocketStream::Deadline deadline, const std::string& source);
  bool TakeReply(uint8_t command, std::string& value);
  void SendRequest(const ComPortRequest& request);
  void Pump();
  void Absorb(const std::string& raw);
  std::vector<TelnetCommand> TakeData(const std::string& raw);
  void LoseAfterReading(const std::string& reason);
  void Lose(const std::string& reason);
  void RefuseTelnet();
  void Transmit(const std::string& bytes);
  void FlushOutput();
  void WaitForSocket(SocketStream::Deadline deadline);
  SocketStream& Line(const char* member);
  void RaiseIfLost(const char* member);
  std::string PortText() const;
  SocketStream::Deadline ReplyDeadline() const;

  const std::string device_;
  const int64_t replyTimeoutMs_;
  bool telnet_ = false;
  int32_t commPort_;
  std::string settingsText_;
  LineSettings settings_;
  std::unique_ptr<SocketStream> socket_;
  TelnetReader reader_;
  TelnetOptions options_;
  std::deque<ComPortReply> replies_;
  std::string input_;
  std::string recentText_;  // what the server sent since the last Output, its end only
  std::string output_;  // bytes, escaped as the connection carries them, the socket has not taken
  // Bytes ever received, ever taken or discarded, and the received count at the last Output.
  uint64_t receivedTotal_ = 0;
  uint64_t consumedTotal_ = 0;
  uint64_t receivedAtOutput_ = 0;
  uint64_t receivedAtConnect_ = 0;
  int32_t lossNumber_ = 0;  // with lossDescription_: why the connection ended, raised until reopened
  std::string lossReason_;
  std::string lossDescription_;
};

}  // namespace kivocom
