// SPDX-License-Identifier: MIT
// A line whose far end plays inside the process: every member first brings the line up to the
// present, hearing the sent bytes and receiving the answers whose moment has come, in the order
// they happen on the wire.
#include "platform/line/simulated_line.h"

#include <algorithm>
#include <thread>

#include "platform/line/simulated_benches.h"

namespace kivocom {

SimulatedLine::SimulatedLine(int32_t port, const std::string& device, const LineSettings& settings,
                             const std::string& source)
    : device_(device), bench_(TakeSimulatedBench(port, device, source)) {
  Apply(settings, {}, source);
}

SimulatedLine::~SimulatedLine() { ReturnSimulatedBench(device_); }

void SimulatedLine::Apply(const LineSettings& settings, const std::string&, const std::string& source) {
  Advance();
  bench_->SetBaudRate(settings.baud, source);
  byteTime_ = std::chrono::nanoseconds(int64_t{1'000'000'000} * settings.BitsPerCharacter() / settings.baud);
}

void SimulatedLine::Send(std::string_view data) {
  Advance();
  received_.MarkSend();
  if (unheard_.empty()) nextArrival_ = Clock::now() + byteTime_;
  unheard_ += data;
}

std::size_t SimulatedLine::PendingOutput() {
  Advance();
  return unheard_.size();
}

void SimulatedLine::DiscardOutput() {
  Advance();
  unheard_.clear();
}

std::size_t SimulatedLine::PendingInput() {
  Advance();
  return received_.Size();
}

std::string SimulatedLine::TakeInput() {
  Advance();
  return received_.TakeAll();
}

void SimulatedLine::DiscardInput() {
  Advance();
  received_.DiscardAll();
}

void SimulatedLine::DiscardInputBeforeLastSend() {
  Advance();
  received_.DiscardBeforeMark();
}

bool SimulatedLine::WaitForInput(Deadline deadline) {
  for (;;) {
    Advance();
    if (!received_.Empty()) return true;
    const std::optional<Clock::time_point> next = NextEvent();
    if (!next || *next > deadline) break;
    std::this_thread::sleep_until(*next);
  }
  std::this_thread::sleep_until(deadline);
  Advance();
  return !received_.Empty();
}

bool SimulatedLine::WaitForOutputSent(Deadline deadline, std::chrono::nanoseconds) {
  Advance();
  if (unheard_.empty()) return true;
  const Clock::time_point lastArrival = nextArrival_ + static_cast<int64_t>(unheard_.size() - 1) * byteTime_;
  std::this_thread::sleep_until(std::min(lastArrival, deadline));
  Advance();
  return unheard_.empty();
}

// The simulated instruments pay no attention to the modem lines.
void SimulatedLine::SetModemLine(ModemLine, bool, const std::string&) {}

std::optional<LineLoss> SimulatedLine::Loss() { return std::nullopt; }

void SimulatedLine::Advance() {
  const Clock::time_point now = Clock::now();
  for (std::optional<Clock::time_point> at = NextEvent(); at && *at <= now; at = NextEvent()) Deliver(*at);
}

// The next moment a sent byte reaches the instruments or an answer byte is due; answers wait
// while the receive buffer is full.
std::optional<SimulatedLine::Clock::time_point> SimulatedLine::NextEvent() const {
  std::optional<Clock::time_point> next;
  if (received_.Room() > 0) next = bench_->NextDue();
  if (!unheard_.empty() && (!next || nextArrival_ <= *next)) next = nextArrival_;
  return next;
}

// What happens at `at`: the next sent byte reaches the instruments, or the answers due arrive.
void SimulatedLine::Deliver(Clock::time_point at) {
  if (!unheard_.empty() && nextArrival_ <= at) {
    const std::string_view byte = std::string_view(unheard_).substr(0, 1);
    RecordSimulatedBenchHeard(device_, byte);
    bench_->Hear(byte, nextArrival_);
    unheard_.erase(0, 1);
    nextArrival_ += byteTime_;
    return;
  }
  InstrumentBench::Due due = bench_->TakeDue(at);
  const std::size_t fits = std::min(due.bytes.size(), received_.Room());
  received_.Append(std::string_view(due.bytes).substr(0, fits));
  if (fits < due.bytes.size()) bench_->PutBack({due.bytes.substr(fits), due.unplug});
}

}  // namespace kivocom
