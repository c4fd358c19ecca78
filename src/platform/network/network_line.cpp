// SPDX-License-Identifier: MIT
// The network line: the steps of a serial line over one TCP connection, the Telnet COM-port
// control option when the port is an rfc2217:// one.
#include "platform/network/network_line.h"

#include <algorithm>
#include <utility>

#include "kivocom/error.h"
#include "platform/line/line_rules.h"
#include "platform/network/network_line_text.h"

namespace kivocom {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
// Replies kept for requests not yet looked for; a server sending more is not heeded.
constexpr std::size_t kMostRepliesKept = 64;
// The last bytes received since the last Send are kept to say why a server closed the connection.
constexpr std::size_t kRecentTextKept = 256;

}  // namespace

NetworkLine::NetworkLine(std::string device, int32_t port, int64_t replyTimeoutMs)
    : device_(std::move(device)), port_(port), replyTimeoutMs_(replyTimeoutMs) {}

// Connects, and on an rfc2217:// port opens the Telnet negotiation and sends the settings in
// the same breath: the server answers all of them in one round trip. A connection the server
// ends meanwhile could not be opened, for the reason it gave.
void NetworkLine::Open(const LineSettings& settings, const std::string& text, const std::string& source) {
  std::string problem;
  const std::optional<NetworkAddress> address = ReadNetworkAddress(device_, problem);
  if (!address) throw CannotOpenError(PortText(), "it is not a well-formed network port (" + problem + ")", source);
  telnet_ = address->telnet;
  Connect(*address);
  settingsText_ = text;
  if (!telnet_) return;
  try {
    Transmit(options_.Opening());
    ApplyOnServer(SettingsRequests(settings), source);
  } catch (const Error& error) {
    const std::string reason = std::exchange(lossReason_, {});
    socket_.reset();
    loss_.reset();
    if (error.Number() != kErrReadingDevice) throw;
    throw CannotOpenError(PortText(), reason, source);
  }
}

void NetworkLine::Connect(const NetworkAddress& address) {
  try {
    socket_ = ConnectSocketStream(address.host, address.service, ReplyDeadline());
  } catch (const SocketFailure& failure) {
    throw CannotOpenError(PortText(), std::string(failure.what()) + "; check that the server runs and serves that port",
                          ControlSource("PortOpen"));
  }
}

void NetworkLine::Close() {
  if (socket_) Drain(ReplyDeadline());
  socket_.reset();
}

bool NetworkLine::Suspend() {
  Pump();
  if (!socket_ || loss_) return false;
  if (Drain(ReplyDeadline())) return true;
  socket_.reset();
  return false;
}

// The server took the settings in force on this very connection, which has held its device alone
// since: only a change needs its round trip.
bool NetworkLine::Resume(const LineSettings& settings, const std::string& text) {
  Pump();
  if (!socket_) return false;
  input_.DiscardAll();
  recentText_.clear();
  try {
    if (telnet_) SendRequest(PurgeRequest(comport::kPurgeBoth));
    if (text != settingsText_) Apply(settings, text, ControlSource("Settings"));
  } catch (const Error&) {
    return false;
  }
  return socket_ != nullptr;
}

// On an rfc2217:// line the server must take every field; a plain TCP line keeps the text
// without applying it, since nothing carries settings over it.
void NetworkLine::Apply(const LineSettings& settings, const std::string& text, const std::string& source) {
  Pump();
  if (socket_ && telnet_) ApplyOnServer(SettingsRequests(settings), source);
  settingsText_ = text;
}

void NetworkLine::Send(std::string_view data) {
  Pump();
  input_.MarkSend();
  recentText_.clear();
  Transmit(telnet_ ? TelnetEscaped(data) : std::string(data));
}

std::size_t NetworkLine::PendingOutput() {
  FlushOutput();
  return output_.size();
}

// Bytes the connection took are with the server. While some are still here, the server is also
// asked to drop what it has not yet written to its port; with none here nothing is pending, and
// purging would take a command back from a device that has not read it yet.
void NetworkLine::DiscardOutput() {
  FlushOutput();
  if (output_.empty()) return;
  if (!telnet_) {
    output_.clear();
    return;
  }
  SendRequest(PurgeRequest(comport::kPurgeTransmit));
}

std::size_t NetworkLine::PendingInput() {
  Pump();
  return input_.Size();
}

std::string NetworkLine::TakeInput() {
  Pump();
  return input_.TakeAll();
}

void NetworkLine::DiscardInput() {
  Pump();
  input_.DiscardAll();
  if (telnet_) SendRequest(PurgeRequest(comport::kPurgeReceive));
}

void NetworkLine::DiscardInputBeforeLastSend() {
  Pump();
  input_.DiscardBeforeMark();
}

bool NetworkLine::WaitForInput(Deadline deadline) {
  Pump();
  while (input_.Empty()) {
    if (!socket_ || std::chrono::steady_clock::now() >= deadline) return false;
    WaitForSocket(deadline);
    Pump();
  }
  return true;
}

bool NetworkLine::WaitForOutputSent(Deadline deadline, std::chrono::nanoseconds) { return Drain(deadline); }

void NetworkLine::SetModemLine(ModemLine line, bool raised, const std::string& source) {
  if (telnet_) ApplyOnServer({ModemLineRequest(line == ModemLine::Dtr ? "DTR" : "RTS", raised)}, source);
}

std::optional<LineLoss> NetworkLine::Loss() {
  Pump();
  return loss_;
}

bool NetworkLine::Drain(SocketStream::Deadline deadline) {
  FlushOutput();
  while (socket_ && !output_.empty()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    WaitForSocket(deadline);
    Pump();
  }
  return output_.empty();
}

// Every request goes out first, in one piece so the server reads them at once; then each reply
// is checked against its request in turn.
void NetworkLine::ApplyOnServer(const std::vector<ComPortRequest>& requests, const std::string& source) {
  std::string bytes;
  for (const ComPortRequest& request : requests) bytes += ComPortBytes(request);
  Transmit(bytes);
  const auto deadline = ReplyDeadline();
  for (const ComPortRequest& request : requests) AwaitReply(request, deadline, source);
}

void NetworkLine::AwaitReply(const ComPortRequest& request, SocketStream::Deadline deadline, const std::string& source) {
  std::string value;
  while (!TakeReply(request.command, value)) {
    if (!socket_) throw Error(loss_->number, source, loss_->description);
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

bool NetworkLine::TakeReply(uint8_t command, std::string& value) {
  const auto it = std::find_if(replies_.begin(), replies_.end(),
                               [command](const ComPortReply& reply) { return reply.command == command; });
  if (it == replies_.end()) return false;
  value = it->value;
  replies_.erase(replies_.begin(), it + 1);
  return true;
}

void NetworkLine::SendRequest(const ComPortRequest& request) { Transmit(ComPortBytes(request)); }

// Reads what the connection holds, up to the receive buffer's room, and notices its end.
void NetworkLine::Pump() {
  if (!socket_) return;
  try {
    FlushOutput();
    while (socket_ && input_.Room() > 0) {
      std::string raw;
      const bool open = socket_->ReceiveSome(raw, std::min(kReadChunk, input_.Room()));
      if (!telnet_ && receivedSinceConnect_ == 0 && IsServerRefusal(raw)) return Lose(ServerClosedText(raw));
      if (!telnet_ && receivedSinceConnect_ == 0 && OpensTelnetNegotiation(raw)) return RefuseTelnet();
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
void NetworkLine::Absorb(const std::string& raw) {
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

std::vector<TelnetCommand> NetworkLine::TakeData(const std::string& raw) {
  std::string data;
  std::vector<TelnetCommand> commands;
  if (telnet_)
    reader_.Feed(raw, data, commands);
  else
    data = raw;
  input_.Append(data);
  receivedSinceConnect_ += data.size();
  recentText_ += data;
  if (recentText_.size() > kRecentTextKept) recentText_.erase(0, recentText_.size() - kRecentTextKept);
  return commands;
}

// A server that closes at once after its last words makes the next send fail: what it said is
// read first, since it is the better reason ("Port already in use").
void NetworkLine::LoseAfterReading(const std::string& reason) {
  try {
    for (std::string raw; socket_->ReceiveSome(raw, kReadChunk) && !raw.empty(); raw.clear()) TakeData(raw);
  } catch (const SocketFailure&) {
  }
  Lose(recentText_.empty() ? reason : ServerClosedText(recentText_));
}

// A server that turns a client away (its port is in use) writes why and closes: when those words
// are all the connection ever brought, they are the reason, not bytes from the line.
void NetworkLine::Lose(const std::string& reason) {
  socket_.reset();
  output_.clear();
  const bool refused = SaysInUse(reason);
  if (refused && receivedSinceConnect_ == recentText_.size()) input_.DiscardAll();
  loss_ = LineLoss{refused ? kErrHardwareNotAvailable : kErrReadingDevice, LostConnectionText(PortText(), reason)};
  lossReason_ = reason;
}

// A Telnet server's negotiation would reach the client as data on a tcp:// line: the line is given
// up as one that cannot be used (8012), the negotiation not taken as the instrument's bytes.
void NetworkLine::RefuseTelnet() {
  socket_.reset();
  output_.clear();
  loss_ = LineLoss{kErrDeviceNotOpen, TelnetOnPlainLineText(PortText(), device_)};
  lossReason_ = "the server speaks Telnet";
}

void NetworkLine::Transmit(const std::string& bytes) {
  output_ += bytes;
  FlushOutput();
}

void NetworkLine::FlushOutput() {
  if (!socket_ || output_.empty()) return;
  try {
    output_.erase(0, socket_->SendSome(output_));
  } catch (const SocketFailure& failure) {
    LoseAfterReading(failure.what());
  }
}

void NetworkLine::WaitForSocket(SocketStream::Deadline deadline) {
  try {
    socket_->Wait(true, !output_.empty(), deadline);
  } catch (const SocketFailure& failure) {
    Lose(failure.what());
  }
}

std::string NetworkLine::PortText() const { return PortAndDevice(port_, device_); }

SocketStream::Deadline NetworkLine::ReplyDeadline() const { return DeadlineAfter(replyTimeoutMs_); }

}  // namespace kivocom
