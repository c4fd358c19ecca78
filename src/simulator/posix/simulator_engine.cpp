// SPDX-License-Identifier: MIT
#include "simulator/posix/simulator_engine.h"

#include <algorithm>

namespace kivocom {
namespace {

timespec ToTimespec(std::chrono::nanoseconds wait) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
  return {static_cast<time_t>(seconds.count()), static_cast<long>((wait - seconds).count())};
}

}  // namespace

SimulatorEngine::SimulatorEngine() : thread_([this] { Run(); }) {}

SimulatorEngine::~SimulatorEngine() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.Wake();
  thread_.join();
}

void SimulatorEngine::SetBaudRate(int32_t bitsPerSecond) {
  std::lock_guard lock(mutex_);
  bench_.SetBaudRate(bitsPerSecond, "InstrumentSimulator - SetBaudRate");
}

int32_t SimulatorEngine::BaudRate() const {
  std::lock_guard lock(mutex_);
  return bench_.BaudRate();
}

std::size_t SimulatorEngine::AddInstrument(SimulatedInstrument instrument, const std::string& switchPort) {
  std::lock_guard lock(mutex_);
  return bench_.AddInstrument(std::move(instrument), switchPort);
}

void SimulatorEngine::ChangeInstrument(std::size_t id, const std::function<void(SimulatedInstrument&)>& change) {
  std::lock_guard lock(mutex_);
  bench_.ChangeInstrument(id, change, "InstrumentSimulator - ChangeInstrument");
}

SimulatedInstrument SimulatorEngine::Instrument(std::size_t id) const {
  std::lock_guard lock(mutex_);
  return bench_.Instrument(id, "InstrumentSimulator - Instrument");
}

void SimulatorEngine::SetSmartSwitch(std::optional<ESmartSwitchStyle> model) {
  std::lock_guard lock(mutex_);
  bench_.SetSmartSwitch(model);
}

std::string SimulatorEngine::ConnectedSwitchPort() const {
  std::lock_guard lock(mutex_);
  return bench_.ConnectedSwitchPort();
}

std::string SimulatorEngine::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void SimulatorEngine::ClearReceived() {
  std::lock_guard lock(mutex_);
  received_.clear();
}

bool SimulatorEngine::WaitForReceived(const std::function<bool(const std::string&)>& done,
                                      std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return done(received_); });
}

void SimulatorEngine::Unplug() {
  std::unique_lock lock(mutex_);
  unplugRequested_ = true;
  wake_.Wake();
  changed_.wait(lock, [this] { return unplugged_; });
}

bool SimulatorEngine::Unplugged() const {
  std::lock_guard lock(mutex_);
  return unplugged_;
}

void SimulatorEngine::Run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    const short lineEvents = static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0));
    pollfd fds[2] = {{wake_.ReadFd(), POLLIN, 0}, {pty_.MasterFd(), lineEvents, 0}};
    const nfds_t count = pty_.IsOpen() ? 2 : 1;
    const std::optional<timespec> timeout = PollTimeout();
    lock.unlock();
    const int ready = ppoll(fds, count, timeout ? &*timeout : nullptr, nullptr);
    lock.lock();
    if (ready >= 0) Serve(fds, count);
  }
}

// Until the next planned byte is due; no time-out while nothing is planned or the line is full.
std::optional<timespec> SimulatorEngine::PollTimeout() const {
  const auto next = bench_.NextDue();
  if (!pty_.IsOpen() || writeBlocked_ || !next) return std::nullopt;
  return ToTimespec(std::max(std::chrono::nanoseconds(0), *next - Clock::now()));
}

void SimulatorEngine::Serve(const pollfd (&fds)[2], nfds_t count) {
  if (fds[0].revents & POLLIN) wake_.Drain();
  if (unplugRequested_ && pty_.IsOpen()) CloseFarEnd();
  if (count == 2 && pty_.IsOpen()) {
    if (fds[1].revents & POLLOUT) writeBlocked_ = false;
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) ReadFromLine(fds[1].revents);
  }
  SendDue();
}

void SimulatorEngine::ReadFromLine(short events) {
  const std::optional<std::string> bytes = pty_.ReadAvailable();
  // A master that reports hang-up with nothing to read would wake the poll for ever: the line is
  // gone, so close the far end rather than spin.
  if (!bytes || (bytes->empty() && (events & (POLLHUP | POLLERR)))) {
    CloseFarEnd();
    return;
  }
  if (bytes->empty()) return;
  received_ += *bytes;
  changed_.notify_all();
  bench_.Hear(*bytes, Clock::now());
}

void SimulatorEngine::SendDue() {
  if (!pty_.IsOpen() || writeBlocked_) return;
  InstrumentBench::Due due = bench_.TakeDue(Clock::now());
  if (due.bytes.empty() && !due.unplug) return;
  const std::optional<std::size_t> written = pty_.Write(due.bytes);
  if (!written) {
    CloseFarEnd();
    return;
  }
  if (*written < due.bytes.size()) {
    due.bytes.erase(0, *written);
    bench_.PutBack(std::move(due));
    writeBlocked_ = true;
    return;
  }
  if (due.unplug) CloseFarEnd();
}

void SimulatorEngine::CloseFarEnd() {
  pty_.Close();
  bench_.ClearPlanned();
  writeBlocked_ = false;
  unplugged_ = true;
  changed_.notify_all();
}

}  // namespace kivocom
