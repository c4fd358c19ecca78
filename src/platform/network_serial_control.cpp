// SPDX-License-Identifier: MIT
// The network serial line: the members of the serial control over one TCP connection, the
// Telnet COM-port control option when the port is an rfc2217:// one.
#include "platform/network_serial_control.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <utility>

#include "kivocom/error.h"
#include "platform/network_line_text.h"
#include "platform/serial_control_rules.h"

namespace kivocom {
namespace {

// Received bytes held here at most; beyond it they wait in the connection, which makes the server
// wait too, so nothing is lost.
constexpr std::size_t kInputCapacity = std::size_t{1} << 20;
constexpr std::size_t kReadChunk = 64 * 1024;
// Replies kept for requests not yet looked for; a server sending more is not heeded.
constexpr std::size_t kMostRepliesKept = 64;
// The last bytes received since the last Output are kept to say why a server closed the connection.
constexpr std::size_t kRecentTextKept = 256;
int32_t AsCount(std::size_t count) {
  return static_cast<int32_t>(std::min<std::size_t>(count, std::numeric_limits<int32_t>::max()));
}

}  // namespace

NetworkSerialControl::NetworkSerialControl(std::string device, int32_t port, const std::string& settings,
                                           int64_t replyTimeoutMs)
    : device_(std::move(device)), replyTimeoutMs_(replyTimeoutMs), commPort_(port) {
  Settings(settings);
}

bool NetworkSerialControl::PortOpen() {
  Pump();
  return socket_ != nullptr;
}

void NetworkSerialControl::PortOpen(bool open) {
  Pump();
  if (open && socket_) throw Error(kErrPortAlreadyOpen, ControlSource("PortOpen"), PortText() + " is already open.");
  lossNumber_ = 0;
  lossReason_.clear();
  lossDescription_.clear();
  input_.clear();
  if (open)
    Open();
  else
    Close();
}

int32_t NetworkSerialControl::CommPort() { return commPort_; }

void NetworkSerialControl::CommPort(int32_t port) {
  RequireChangeablePortNumber(PortOpen(), port, PortText());
  commPort_ = port;
}

std::string NetworkSerialControl::Settings() { return settingsText_; }

// On an open rfc2217:// line the server must take every field; a plain TCP line keeps the text
// without applying it, since nothing carries settings over it.
void NetworkSerialControl::Settings(const std::string& settings) {
  const std::string source = ControlSource("Settings");
  const LineSettings parsed = ParseLineSettings(settings, source);
  Pump();
  if (socket_ && telnet_) ApplyOnServer(SettingsRequests(parsed), source);
  settings_ = parsed;
  settingsText_ = settings;
}

void NetworkSerialControl::Output(const std::string& data) {
  Line("Output");
  Pump();
  receivedAtOutput_ = receivedTotal_;
  recentText_.clear();
  Transmit(telnet_ ? TelnetEscaped(data) : data);
  RaiseIfLost("Output");
}

int32_t NetworkSerialControl::OutBufferCount() {
  Line("OutBufferCount");
  FlushOutput();
  return AsCount(output_.size());
}

// Bytes the connection took are with the server. While some are still here, the server is also
// asked to drop what it has not yet written to its port; with none here nothing is pending, and
// purging would take a command back from a device that has not read it yet.
void NetworkSerialControl::OutBufferCount(int32_t count) {
  Line("OutBufferCount");
  RequireDiscardCount(count, "OutBufferCount");
  FlushOutput();
  if (output_.empty()) return;
  if (!telnet_) {
    output_.clear();
    return;
  }
  SendRequest(PurgeRequest(comport::kPurgeTransmit));
}

int32_t NetworkSerialControl::InBufferCount() {
  Pump();
  if (!input_.empty()) return AsCount(input_.size());
  Line("InBufferCount");
  return 0;
}

void NetworkSerialControl::InBufferCount(int32_t count) {
  Pump();
  consumedTotal_ += input_.size();
  input_.clear();
  Line("InBufferCount");
  RequireDiscardCount(count, "InBufferCount");
  if (telnet_) SendRequest(PurgeRequest(comport::kPurgeReceive));
}

std::string NetworkSerialControl::Input() {
  Pump();
  if (input_.empty()) Line("Input");
  consumedTotal_ += input_.size();
  return std::exchange(input_, {});
}

void NetworkSerialControl::DiscardInputBeforeLastOutput() {
  Line("DiscardInputBeforeLastOutput");
  Pump();
  const uint64_t older = receivedAtOutput_ > consumedTotal_ ? receivedAtOutput_ - consumedTotal_ : 0;
  const std::size_t count = static_cast<std::size_t>(std::min<uint64_t>(older, input_.size()));
  input_.erase(0, count);
  consumedTotal_ += count;
}

void NetworkSerialControl::DTREnable(bool enable) {
  Line("DTREnable");
  if (telnet_) ApplyOnServer({ModemLineRequest("DTR", enable)}, ControlSource("DTREnable"));
}

void NetworkSerialControl::RTSEnable(bool enable) {
  Line("RTSEnable");
  if (telnet_) ApplyOnServer({ModemLineRequest("RTS", enable)}, ControlSource("RTSEnable"));
}

bool NetworkSerialControl::WaitForInput(int64_t timeoutMs) {
  const auto deadline = DeadlineAfter(timeoutMs);
  Pump();
  while (input_.empty()) {
    Line("WaitForInput");
    if (std::chrono::steady_clock::now() >= deadline) return false;
    WaitForSocket(deadline);
    Pump();
  }
  return true;
}

bool NetworkSerialControl::WaitForDrain(int64_t timeoutMs) {
  Line("WaitForDrain");
  const bool drained = Drain(DeadlineAfter(timeoutMs));
  RaiseIfLost("WaitForDrain");
  return drained;
}

bool NetworkSerialControl::Drain(SocketStream::Deadline deadline) {
  FlushOutput();
  while (socket_ && !output_.empty()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    WaitForSocket(deadline);
    Pump();
  }
  return output_.empty();
}

// Connects, and on an rfc2217:// port opens the Telnet negotiation and sends the settings in
// the same breath: the server answers all of them in one round trip.
void NetworkSerialControl::Open() {
  const std::string source = ControlSource("PortOpen");
  std::string problem;
  const std::optional<NetworkAddress> address = ReadNetworkAddress(device_, problem);
  if (!address) throw CannotOpenError(PortText(), "it is not a well-formed network port (" + problem + ")", source);
  telnet_ = address->telnet;
  Connect(*address);
  if (!telnet_) return;
  try {
    Transmit(options_.Opening());
    ApplyOnServer(SettingsRequests(settings_), source);
  } catch (const Error& error) {
    const std::string reason = std::exchange(lossReason_, {});
    const bool ended = error.Number() == kErrReadingDevice;
    socket_.reset();
    lossNumber_ = 0;
    lossDescription_.clear();
    if (!ended) throw;
    throw CannotOpenError(PortText(), reason, source);
  }
}

void NetworkSerialControl::Connect(const NetworkAddress& address) {
  try {
    socket_ = ConnectSocketStream(address.host, address.service, ReplyDeadline());
  } catch (const SocketFailure& failure) {
    throw CannotOpenError(PortText(), std::string(failure.what()) + "; check that the server runs and serves that port",
                          ControlSource("PortOpen"));
  }
  receivedAtConnect_ = receivedTotal_;
  reader_ = TelnetReader();
  options_ = TelnetOptions();
  replies_.clear();
  output_.clear();
}

bool NetworkSerialControl::Suspend() {
  Pump();
  if (!socket_ || !lossDescription_.empty()) return false;
  if (Drain(ReplyDeadline())) return true;
  socket_.reset();
  return false;
}

bool NetworkSerialControl::Resume(const std::string& settings) {
  Pump();
  if (!socket_) return false;
  consumedTotal_ += input_.size();
  input_.clear();
  recentText_.clear();
  try {
    if (telnet_) SendRequest(PurgeRequest(comport::kPurgeBoth));
    // The server took the settings in force on this very connection, which has held its device
    // alone since: only a change needs its round trip.
    if (settings != settingsText_) Settings(settings);
  } catch (const Error&) {
    return false;
  }
  return socket_ != nullptr;
}

void NetworkSerialControl::Close() {
  if (socket_) Drain(ReplyDeadline());
  socket_.reset();
}

// Every request goes out first, in one piece so the server reads them at once; then each reply
// is checked against its request in turn.
void NetworkSerialControl::ApplyOnServer(const std::vector<ComPortRequest>& requests, const std::string& source) {
  std::string bytes;
  for (const ComPortRequest& request : requests) bytes += ComPortBytes(request);
  Transmit(bytes);
  const auto deadline = ReplyDeadline();
  for (const ComPortRequest& request : requests) AwaitReply(request, deadline, source);
}

void NetworkSerialControl::AwaitReply(const ComPortRequest& request, SocketStream::Deadline deadline,
                                      const std::string& source) {
  std::string value;
  while (!TakeReply(request.command, value)) {
    if (!socket_) throw Error(lossNumber_, source, lossDescription_);
    if (options_.ComPortRefused()) throw RefusedOptionError(PortText(), source);
    // A server that never agreed to serial port control has refused nothing: it did not negotiate.
    if (std::chrono::steady_clock::now() >= deadline && !options_.ComPortAccepted())
      throw UnnegotiatedError(PortText(), replyTimeoutMs_, source);
    if (std::chrono::steady_clock::now() >= deadline)
      throw UnansweredError(PortText(), request.what, replyTimeoutMs_, source);
    WaitForSocket(deadline);
    Pump();
  }
  if (value != request.value)
    throw RefusedSettingError(PortText(), request.what, ReplyValueText(request.command, value), source);
}

bool NetworkSerialControl::TakeReply(uint8_t command, std::string& value) {
  const auto it = std::find_if(replies_.begin(), replies_.end(),
                               [command](const ComPortReply& reply) { return reply.command == command; });
  if (it == replies_.end()) return false;
  value = it->value;
  replies_.erase(replies_.begin(), it + 1);
  return true;
}

void NetworkSerialControl::SendRequest(const ComPortRequest& request) { Transmit(ComPortBytes(request)); }

// Reads what the connection holds, up to the receive buffer's room, and notices its end.
void NetworkSerialControl::Pump() {
  if (!socket_) return;
  try {
    FlushOutput();
    while (socket_ && input_.size() < kInputCapacity) {
      std::string raw;
      const bool open = socket_->ReceiveSome(raw, std::min(kReadChunk, kInputCapacity - input_.size()));
      if (!telnet_ && receivedTotal_ == receivedAtConnect_ && IsServerRefusal(raw)) return Lose(ServerClosedText(raw));
      if (!telnet_ && receivedTotal_ == receivedAtConnect_ && OpensTelnetNegotiation(raw)) return RefuseTelnet();
      Absorb(raw);
      if (!socket_) return;
      if (!open) return Lose(ServerClosedText(recentText_));
      if (raw.empty()) return;
    }
  } catch (const SocketFailure& failure) {
    Lose(failure.what());
  }
}

// Splits raw bytes into data, negotiation answers and COM-port replies; notifications and purge
// replies carry nothing the line needs.
void NetworkSerialControl::Absorb(const std::string& raw) {
  for (const TelnetCommand& command : TakeData(raw)) {
    if (command.verb != telnet::kSb) {
      Transmit(options_.Answer(command.verb, command.option));
    } else if (command.option == telnet::kComPort) {
      std::optional<ComPortReply> reply = ReadComPortReply(command.payload);
      if (reply && reply->command != comport::kPurgeData && replies_.size() < kMostRepliesKept)
        replies_.push_back(std::move(*reply));
    }
  }
}

std::vector<TelnetCommand> NetworkSerialControl::TakeData(const std::string& raw) {
  std::string data;
  std::vector<TelnetCommand> commands;
  if (telnet_)
    reader_.Feed(raw, data, commands);
  else
    data = raw;
  input_ += data;
  receivedTotal_ += data.size();
  recentText_ += data;
  if (recentText_.size() > kRecentTextKept) recentText_.erase(0, recentText_.size() - kRecentTextKept);
  return commands;
}

// A server that closes at once after its last words makes the next send fail: what it said is
// read first, since it is the better reason ("Port already in use").
void NetworkSerialControl::LoseAfterReading(const std::string& reason) {
  try {
    for (std::string raw; socket_->ReceiveSome(raw, kReadChunk) && !raw.empty(); raw.clear()) TakeData(raw);
  } catch (const SocketFailure&) {
  }
  Lose(recentText_.empty() ? reason : ServerClosedText(recentText_));
}

// A server that turns a client away (its port is in use) writes why and closes: when those words
// are all the connection ever brought, they are the reason, not bytes from the line.
void NetworkSerialControl::Lose(const std::string& reason) {
  socket_.reset();
  output_.clear();
  const bool refused = SaysInUse(reason);
  if (refused && receivedTotal_ - receivedAtConnect_ == recentText_.size()) {
    consumedTotal_ += input_.size();
    input_.clear();
  }
  lossNumber_ = refused ? kErrHardwareNotAvailable : kErrReadingDevice;
  lossReason_ = reason;
  lossDescription_ = LostConnectionText(PortText(), reason);
}

// A Telnet server's negotiation would reach the client as data on a tcp:// line: the line is given
// up as one that cannot be used (8012), the negotiation not taken as the instrument's bytes.
void NetworkSerialControl::RefuseTelnet() {
  socket_.reset();
  output_.clear();
  lossNumber_ = kErrDeviceNotOpen;
  lossReason_ = "the server speaks Telnet";
  lossDescription_ = TelnetOnPlainLineText(PortText(), device_);
}

void NetworkSerialControl::Transmit(const std::string& bytes) {
  output_ += bytes;
  FlushOutput();
}

void NetworkSerialControl::FlushOutput() {
  if (!socket_ || output_.empty()) return;
  try {
    output_.erase(0, socket_->SendSome(output_));
  } catch (const SocketFailure& failure) {
    LoseAfterReading(failure.what());
  }
}

void NetworkSerialControl::WaitForSocket(SocketStream::Deadline deadline) {
  try {
    socket_->Wait(true, !output_.empty(), deadline);
  } catch (const SocketFailure& failure) {
    Lose(failure.what());
  }
}

SocketStream& NetworkSerialControl::Line(const char* member) {
  RaiseIfLost(member);
  if (!socket_)
    throw PortNotOpenError(member, PortText());
  return *socket_;
}

void NetworkSerialControl::RaiseIfLost(const char* member) {
  if (!lossDescription_.empty()) throw Error(lossNumber_, ControlSource(member), lossDescription_);
}

std::string NetworkSerialControl::PortText() const { return "COM" + std::to_string(commPort_) + " (" + device_ + ")"; }

SocketStream::Deadline NetworkSerialControl::ReplyDeadline() const { return DeadlineAfter(replyTimeoutMs_); }

}  // namespace kivocom
