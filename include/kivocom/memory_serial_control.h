// SPDX-License-Identifier: MIT
// An in-memory serial control for tests: it records every call that changes the line and every
// byte sent, plays scripted input on a virtual clock, and fails on demand. Programs that use
// kivocom test their own logic with it, as the library's own tests do.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kivocom/clock.h"
#include "kivocom/error.h"
#include "kivocom/serial_control.h"

namespace kivocom {

class MemorySerialControl : public SerialControl {
 public:
  // A closed line on port 1 at "9600,N,8,1"; scripted input arrives on `clock`'s time.
  explicit MemorySerialControl(std::shared_ptr<VirtualClock> clock);

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
  // Discards the input that was waiting when the last Output began; input queued since (by the
  // responder or the clock) stays.
  void DiscardInputBeforeLastOutput() override;
  void DTREnable(bool enable) override;
  void RTSEnable(bool enable) override;
  // Advances the virtual clock until scripted input arrives or the time-out passes.
  bool WaitForInput(int64_t timeoutMs) override;
  // Advances the virtual clock until held output is released or the time-out passes.
  bool WaitForDrain(int64_t timeoutMs) override;

  // ---- Script and record ----

  // Every call that changed the line, in order: "PortOpen=True", "CommPort=3",
  // "Settings=9600,N,8,1", "Output=<bytes>", "OutBufferCount=0", "InBufferCount=0",
  // "DTREnable=False", "RTSEnable=True", "DiscardInputBeforeLastOutput".
  const std::vector<std::string>& Calls() const { return calls_; }
  // Every byte transmitted, in order, since creation or the last ClearRecord.
  const std::string& Sent() const { return sent_; }
  // Forgets the recorded calls and bytes.
  void ClearRecord();
  // Received bytes that arrive now (dropped when the line is closed, as on a real line).
  void QueueInput(const std::string& bytes);
  // Received bytes that arrive `ms` from now on the virtual clock.
  void QueueInputAfter(int64_t ms, const std::string& bytes);
  // Calls `responder` with the bytes of every Output, after they were transmitted: the
  // instrument's side of the conversation.
  void OnOutput(std::function<void(const std::string&)> responder) { responder_ = std::move(responder); }
  // Makes calls whose record starts with `call` ("PortOpen=True", "Settings", "Output", or a read
  // such as "InBufferCount?") raise `error`, `times` times (-1: until cleared with ClearFailures).
  void FailOn(const std::string& call, const Error& error, int times = -1);
  // Removes every failure set with FailOn.
  void ClearFailures() { failures_.clear(); }
  // Keeps transmitted bytes in the transmit buffer (as a held flow control would) until released.
  void HoldOutput(bool hold);
  // The device vanishes: the line reads as closed and every later call raises 8020 until reopened.
  void Unplug();

 private:
  struct Failure {
    Error error;
    int remaining;
  };
  void Record(const std::string& call);
  void MaybeFail(const std::string& call);
  void RequireOpen(const char* member);

  std::shared_ptr<VirtualClock> clock_;
  bool open_ = false;
  bool unplugged_ = false;
  bool holdOutput_ = false;
  int32_t commPort_ = 1;
  std::string settings_ = "9600,N,8,1";
  std::string input_;
  std::size_t olderThanOutput_ = 0;  // leading bytes of input_ that were waiting at the last Output
  std::string pendingOutput_;
  std::string sent_;
  std::vector<std::string> calls_;
  std::vector<std::pair<std::string, Failure>> failures_;
  std::function<void(const std::string&)> responder_;
};

}  // namespace kivocom
