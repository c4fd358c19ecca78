// SPDX-License-Identifier: MIT
// The serial control's members: each checks the line's state by the rules every line shares and
// hands the work to the open line's driver.
#include "platform/line/line_core.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "kivocom/error.h"
#include "platform/line/line_rules.h"

namespace kivocom {
namespace {

// Closing waits for unsent bytes at most twice their time on the wire and this much more.
constexpr auto kCloseDrainMargin = std::chrono::milliseconds(100);

int32_t AsCount(std::size_t count) {
  return static_cast<int32_t>(std::min<std::size_t>(count, std::numeric_limits<int32_t>::max()));
}

// A buffer count can only be assigned 0, which discards.
void RequireDiscardCount(int32_t count, const char* member) {
  if (count != 0)
    throw Error(kErrInvalidPropertyValue, ControlSource(member),
                "Invalid property value " + std::to_string(count) + ": only 0 (discard) can be assigned.");
}

}  // namespace

LineCore::LineCore(std::unique_ptr<LineSource> source) : source_(std::move(source)) {}

LineCore::~LineCore() { Close(); }

bool LineCore::PortOpen() {
  NoticeLoss();
  return line_ != nullptr;
}

// Opening and closing both end what a lost line left: its error and its bytes.
void LineCore::PortOpen(bool open) {
  NoticeLoss();
  if (open && line_) throw Error(kErrPortAlreadyOpen, ControlSource("PortOpen"), PortText() + " is already open.");
  loss_ = LineLoss{};
  leftover_.clear();
  if (open)
    Open();
  else
    Close();
}

int32_t LineCore::CommPort() { return commPort_; }

void LineCore::CommPort(int32_t port) {
  NoticeLoss();
  if (line_)
    throw Error(kErrPortAlreadyOpen, ControlSource("CommPort"),
                "The port number cannot change while " + PortText() + " is open; close it first.");
  if (port < 1)
    throw Error(kErrInvalidPortNumber, ControlSource("CommPort"),
                "Invalid port number " + std::to_string(port) + ": ports are numbered from 1.");
  commPort_ = port;
}

std::string LineCore::Settings() { return settingsText_; }

// A closed line given the text already in force has nothing to check again: every opening applies
// its settings this way, and the text was checked when it was first given. A closed line checks a
// new text against what the line its port leads to can do; an open one puts it in force at once.
void LineCore::Settings(const std::string& settings) {
  NoticeLoss();
  if (!line_ && settings == settingsText_) return;
  const std::string source = ControlSource("Settings");
  const LineSettings parsed = ParseLineSettings(settings, source);
  if (line_)
    line_->Apply(parsed, settings, source);
  else
    source_->Check(commPort_, parsed, settings, source);
  settings_ = parsed;
  settingsText_ = settings;
}

void LineCore::Output(const std::string& data) {
  Line("Output").Send(data);
  RaiseIfLost("Output");
}

int32_t LineCore::OutBufferCount() { return AsCount(Line("OutBufferCount").PendingOutput()); }

void LineCore::OutBufferCount(int32_t count) {
  LineDriver& line = Line("OutBufferCount");
  RequireDiscardCount(count, "OutBufferCount");
  line.DiscardOutput();
}

int32_t LineCore::InBufferCount() {
  NoticeLoss();
  if (!leftover_.empty()) return AsCount(leftover_.size());
  return AsCount(Line("InBufferCount").PendingInput());
}

void LineCore::InBufferCount(int32_t count) {
  NoticeLoss();
  leftover_.clear();
  LineDriver& line = Line("InBufferCount");
  RequireDiscardCount(count, "InBufferCount");
  line.DiscardInput();
}

std::string LineCore::Input() {
  NoticeLoss();
  if (!leftover_.empty()) return std::exchange(leftover_, {});
  return Line("Input").TakeInput();
}

void LineCore::DiscardInputBeforeLastOutput() { Line("DiscardInputBeforeLastOutput").DiscardInputBeforeLastSend(); }

void LineCore::DTREnable(bool enable) { Line("DTREnable").SetModemLine(ModemLine::Dtr, enable, ControlSource("DTREnable")); }

void LineCore::RTSEnable(bool enable) { Line("RTSEnable").SetModemLine(ModemLine::Rts, enable, ControlSource("RTSEnable")); }

// The bytes a line received before it was lost are input like any other: a wait ends on them.
bool LineCore::WaitForInput(int64_t timeoutMs) {
  NoticeLoss();
  if (!leftover_.empty()) return true;
  const bool waiting = Line("WaitForInput").WaitForInput(DeadlineAfter(timeoutMs));
  NoticeLoss();
  if (!leftover_.empty()) return true;
  RaiseIfLost("WaitForInput");
  return waiting;
}

bool LineCore::WaitForDrain(int64_t timeoutMs) {
  const bool drained = Line("WaitForDrain").WaitForOutputSent(DeadlineAfter(timeoutMs), ByteTime());
  RaiseIfLost("WaitForDrain");
  return drained;
}

void LineCore::Open() { line_ = &source_->Open(commPort_, settings_, settingsText_, ControlSource("PortOpen")); }

// Bytes still on their way get a bounded chance to reach the wire before the line is let go, so
// that they do not go out at another speed or not at all.
void LineCore::Close() {
  if (!line_) return;
  const auto pending = static_cast<int64_t>(line_->PendingOutput());
  if (pending > 0) {
    const auto limit = std::chrono::steady_clock::now() + 2 * pending * ByteTime() + kCloseDrainMargin;
    line_->WaitForOutputSent(limit, ByteTime());
  }
  line_ = nullptr;
  source_->Close();
}

// A lost line is let go at once; its error stays to be raised. The bytes it received before it
// went stay readable: they are the end of a reply or of a download.
void LineCore::NoticeLoss() {
  if (!line_) return;
  std::optional<LineLoss> loss = line_->Loss();
  if (!loss) return;
  loss_ = std::move(*loss);
  leftover_ += line_->TakeInput();
  line_ = nullptr;
  source_->Close();
}

LineDriver& LineCore::Line(const char* member) {
  RaiseIfLost(member);
  if (!line_)
    throw Error(kErrPortNotOpen, ControlSource(member),
                "Operation valid only when the port is open; " + PortText() + " is closed.");
  return *line_;
}

void LineCore::RaiseIfLost(const char* member) {
  NoticeLoss();
  if (!loss_.description.empty()) throw Error(loss_.number, ControlSource(member), loss_.description);
}

std::string LineCore::PortText() { return PortAndDevice(commPort_, source_->Device(commPort_)); }

std::chrono::nanoseconds LineCore::ByteTime() const {
  return std::chrono::nanoseconds(int64_t{1'000'000'000} * settings_.BitsPerCharacter() / settings_.baud);
}

}  // namespace kivocom
