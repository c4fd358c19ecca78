// SPDX-License-Identifier: MIT
// The in-memory serial control.
#include "kivocom/memory_serial_control.h"

#include <algorithm>
#include <utility>

namespace kivocom {
namespace {
std::string Flag(bool value) { return value ? "True" : "False"; }
}  // namespace

MemorySerialControl::MemorySerialControl(std::shared_ptr<VirtualClock> clock) : clock_(std::move(clock)) {}

void MemorySerialControl::Record(const std::string& call) {
  MaybeFail(call);
  calls_.push_back(call);
}

void MemorySerialControl::MaybeFail(const std::string& call) {
  for (auto& [prefix, failure] : failures_) {
    if (call.rfind(prefix, 0) != 0 || failure.remaining == 0) continue;
    if (failure.remaining > 0) --failure.remaining;
    throw failure.error;
  }
}

void MemorySerialControl::RequireOpen(const char* member) {
  const std::string source = std::string("SerialControl - ") + member;
  if (unplugged_) throw Error(kErrReadingDevice, source, "The device has been removed.");
  if (!open_) throw Error(kErrPortNotOpen, source, "Operation valid only when the port is open.");
}

bool MemorySerialControl::PortOpen() {
  MaybeFail("PortOpen?");
  return open_;
}

void MemorySerialControl::PortOpen(bool open) {
  Record("PortOpen=" + Flag(open));
  if (open && open_)
    throw Error(kErrPortAlreadyOpen, "SerialControl - PortOpen", "Port already open.");
  open_ = open;
  unplugged_ = false;
  input_.clear();
  olderThanOutput_ = 0;
  pendingOutput_.clear();
}

int32_t MemorySerialControl::CommPort() { return commPort_; }

void MemorySerialControl::CommPort(int32_t port) {
  Record("CommPort=" + std::to_string(port));
  if (open_) throw Error(kErrPortAlreadyOpen, "SerialControl - CommPort", "Port already open.");
  if (port < 1) throw Error(kErrInvalidPortNumber, "SerialControl - CommPort", "Invalid port number.");
  commPort_ = port;
}

std::string MemorySerialControl::Settings() { return settings_; }

void MemorySerialControl::Settings(const std::string& settings) {
  Record("Settings=" + settings);
  settings_ = settings;
}

void MemorySerialControl::Output(const std::string& data) {
  Record("Output=" + data);
  RequireOpen("Output");
  olderThanOutput_ = input_.size();
  sent_ += data;
  if (holdOutput_) pendingOutput_ += data;
  if (responder_) responder_(data);
}

int32_t MemorySerialControl::OutBufferCount() {
  MaybeFail("OutBufferCount?");
  RequireOpen("OutBufferCount");
  return static_cast<int32_t>(pendingOutput_.size());
}

void MemorySerialControl::OutBufferCount(int32_t count) {
  Record("OutBufferCount=" + std::to_string(count));
  RequireOpen("OutBufferCount");
  if (count != 0)
    throw Error(kErrInvalidPropertyValue, "SerialControl - OutBufferCount", "Invalid property value.");
  pendingOutput_.clear();
}

int32_t MemorySerialControl::InBufferCount() {
  MaybeFail("InBufferCount?");
  RequireOpen("InBufferCount");
  return static_cast<int32_t>(input_.size());
}

void MemorySerialControl::InBufferCount(int32_t count) {
  Record("InBufferCount=" + std::to_string(count));
  RequireOpen("InBufferCount");
  if (count != 0)
    throw Error(kErrInvalidPropertyValue, "SerialControl - InBufferCount", "Invalid property value.");
  input_.clear();
  olderThanOutput_ = 0;
}

std::string MemorySerialControl::Input() {
  MaybeFail("Input?");
  RequireOpen("Input");
  olderThanOutput_ = 0;
  return std::exchange(input_, {});
}

void MemorySerialControl::DiscardInputBeforeLastOutput() {
  Record("DiscardInputBeforeLastOutput");
  RequireOpen("DiscardInputBeforeLastOutput");
  input_.erase(0, std::min(olderThanOutput_, input_.size()));
  olderThanOutput_ = 0;
}

void MemorySerialControl::DTREnable(bool enable) {
  Record("DTREnable=" + Flag(enable));
  RequireOpen("DTREnable");
}

void MemorySerialControl::RTSEnable(bool enable) {
  Record("RTSEnable=" + Flag(enable));
  RequireOpen("RTSEnable");
}

bool MemorySerialControl::WaitForInput(int64_t timeoutMs) {
  MaybeFail("WaitForInput?");
  RequireOpen("WaitForInput");
  return clock_->AdvanceUntil(clock_->NowMs() + timeoutMs, [this] { return !input_.empty() || !open_; }) &&
         !input_.empty();
}

bool MemorySerialControl::WaitForDrain(int64_t timeoutMs) {
  RequireOpen("WaitForDrain");
  return clock_->AdvanceUntil(clock_->NowMs() + timeoutMs, [this] { return pendingOutput_.empty(); });
}

void MemorySerialControl::ClearRecord() {
  calls_.clear();
  sent_.clear();
}

void MemorySerialControl::QueueInput(const std::string& bytes) {
  if (open_ && !unplugged_) input_ += bytes;
}

void MemorySerialControl::QueueInputAfter(int64_t ms, const std::string& bytes) {
  clock_->After(ms, [this, bytes] { QueueInput(bytes); });
}

void MemorySerialControl::FailOn(const std::string& call, const Error& error, int times) {
  failures_.push_back({call, Failure{error, times}});
}

void MemorySerialControl::HoldOutput(bool hold) {
  holdOutput_ = hold;
  if (!hold) pendingOutput_.clear();
}

void MemorySerialControl::Unplug() {
  unplugged_ = true;
  open_ = false;
  input_.clear();
  olderThanOutput_ = 0;
  pendingOutput_.clear();
}

}  // namespace kivocom
