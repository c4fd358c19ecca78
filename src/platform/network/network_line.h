// SPDX-License-Identifier: MIT
// The line driver of a network port: a serial line that a server (ser2net, a terminal server)
// shares over TCP, reached either with the Telnet COM-port control option (rfc2217://), which
// carries the line settings, the modem lines and buffer purges, or as plain bytes (tcp://).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "kivocom/serial_control.h"
#include "platform/line/line_driver.h"
#include "platform/line/received_bytes.h"
#include "platform/network/com_port_option.h"
#include "platform/network/network_address.h"
#include "platform/network/socket_stream.h"
#include "platform/network/telnet_options.h"
#include "platform/network/telnet_reader.h"

namespace kivocom {

// One connection. Received bytes are read from the socket whenever a step looks at the line;
// what the client has not taken yet waits in the connection's own buffers, so nothing is lost. A
// connection the server closes is a loss (8010 when the server said the port is in use, else
// 8020) that names the server's last text.
class NetworkLine : public LineDriver {
 public:
  // How long a server has, by default, to answer a settings or modem-line request.
  static constexpr int64_t kDefaultReplyTimeoutMs = 2000;

  // A line to `device` (an rfc2217:// or tcp:// path) for port `port`, not yet connected.
  // `replyTimeoutMs` bounds every wait for the server's answer to a request, and the connect.
  NetworkLine(std::string device, int32_t port, int64_t replyTimeoutMs = kDefaultReplyTimeoutMs);

  // The rfc2217:// or tcp:// path this line leads to.
  const std::string& Device() const { return device_; }
  // The port number it was made for.
  int32_t Port() const { return port_; }

  // Connects, and on an rfc2217:// port puts `settings` (the text `text`) in force on the server.
  // Raises kivocom::Error with `source` (8012) when the connection cannot be made or negotiated.
  void Open(const LineSettings& settings, const std::string& text, const std::string& source);
  // Sends what is still to be sent, for a bounded time, and closes the connection.
  void Close();
  // Ends this opening but keeps the connection for the next one: what is still to be sent goes
  // out first. False, with the connection closed, when it is gone or will not drain.
  bool Suspend();
  // Opens a suspended line again at `settings`, as a new connection would be: what came in
  // meanwhile is dropped, the server purges its buffers both ways and takes the settings if they
  // changed. False when the connection cannot be used again; the caller then connects anew.
  bool Resume(const LineSettings& settings, const std::string& text);

  void Apply(const LineSettings& settings, const std::string& text, const std::string& source) override;
  void Send(std::string_view data) override;
  std::size_t PendingOutput() override;
  void DiscardOutput() override;
  std::size_t PendingInput() override;
  std::string TakeInput() override;
  void DiscardInput() override;
  void DiscardInputBeforeLastSend() override;
  bool WaitForInput(Deadline deadline) override;
  bool WaitForOutputSent(Deadline deadline, std::chrono::nanoseconds byteTime) override;
  void SetModemLine(ModemLine line, bool raised, const std::string& source) override;
  std::optional<LineLoss> Loss() override;

 private:
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
  std::string PortText() const;
  SocketStream::Deadline ReplyDeadline() const;

  const std::string device_;
  const int32_t port_;
  const int64_t replyTimeoutMs_;
  bool telnet_ = false;
  std::string settingsText_;  // the text the server took on this connection
  std::unique_ptr<SocketStream> socket_;
  TelnetReader reader_;
  TelnetOptions options_;
  std::deque<ComPortReply> replies_;
  ReceivedBytes input_;
  uint64_t receivedSinceConnect_ = 0;
  std::string recentText_;  // what the server sent since the last Send, its end only
  std::string output_;  // bytes, escaped as the connection carries them, the socket has not taken
  std::optional<LineLoss> loss_;  // why the connection ended
  std::string lossReason_;
};

// A serial control on the network port `device` alone, whatever port number it is given, at
// `settings`; `replyTimeoutMs` bounds every wait for the server's answer.
std::unique_ptr<SerialControl> CreateNetworkSerialControl(std::string device, int32_t port, const std::string& settings,
                                                          int64_t replyTimeoutMs = NetworkLine::kDefaultReplyTimeoutMs);

}  // namespace kivocom
