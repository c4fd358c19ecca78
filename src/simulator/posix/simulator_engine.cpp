// SPDX-License-Identifier: MIT
#include "simulator/posix/simulator_engine.h"

#include <algorithm>

#include "kivocom/error.h"
#include "simulator/instrument_answer.h"

namespace kivocom {
namespace {

// The default reply delay's floor: a quick real instrument takes at least this long to answer.
constexpr std::chrono::milliseconds kMinimumDefaultDelay{10};

// The entry `id` of `instruments` (const or not); raises 380 naming `operation` for an unknown id.
template <class Instruments>
auto& PlacedIn(Instruments& instruments, std::size_t id, const char* operation) {
  if (id >= instruments.size()) {
    throw Error(kErrInvalidPropertyValue, operation, "No instrument with id " + std::to_string(id) + ".");
  }
  return instruments[id];
}

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
  if (bitsPerSecond < 1) {
    throw Error(kErrInvalidPropertyValue, "InstrumentSimulator - SetBaudRate",
                "The baud rate must be at least 1 bit per second.");
  }
  std::lock_guard lock(mutex_);
  baudRate_ = bitsPerSecond;
}

int32_t SimulatorEngine::BaudRate() const {
  std::lock_guard lock(mutex_);
  return baudRate_;
}

std::size_t SimulatorEngine::AddInstrument(SimulatedInstrument instrument, const std::string& switchPort) {
  std::lock_guard lock(mutex_);
  instruments_.push_back({std::move(instrument), switchPort});
  return instruments_.size() - 1;
}

void SimulatorEngine::ChangeInstrument(std::size_t id, const std::function<void(SimulatedInstrument&)>& change) {
  std::lock_guard lock(mutex_);
  change(PlacedIn(instruments_, id, "InstrumentSimulator - ChangeInstrument").instrument);
}

SimulatedInstrument SimulatorEngine::Instrument(std::size_t id) const {
  std::lock_guard lock(mutex_);
  return PlacedIn(instruments_, id, "InstrumentSimulator - Instrument").instrument;
}

void SimulatorEngine::SetSmartSwitch(std::optional<ESmartSwitchStyle> model) {
  std::lock_guard lock(mutex_);
  switch_.reset();
  if (model) switch_.emplace(*model);
  connectedPort_.clear();
  assembler_.Reset();
  schedule_.Clear();
}

std::string SimulatorEngine::ConnectedSwitchPort() const {
  std::lock_guard lock(mutex_);
  return connectedPort_;
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
  const auto next = schedule_.NextDue();
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
  if (LineEchoes()) schedule_.Plan({{*bytes}, {}, {}, std::nullopt}, {Clock::now(), {}, false, -1});
  for (char byte : *bytes) Hear(byte);
}

bool SimulatorEngine::LineEchoes() const {
  return std::any_of(instruments_.begin(), instruments_.end(),
                     [](const PlacedInstrument& placed) { return placed.instrument.behaviour.echo; });
}

void SimulatorEngine::Hear(char byte) {
  if (!switch_) {
    if (auto command = assembler_.Feed(byte)) Dispatch(*command);
    return;
  }
  const SwitchDecoder::Step step = switch_->Feed(byte);
  for (char passed : step.passOn) {
    if (auto command = assembler_.Feed(passed)) Dispatch(*command);
  }
  if (step.connect) Connect(*step.connect);
}

// The switch now connects `switchPort`: a half-heard command and the answers still to come from
// the instrument that was connected are cut off with it.
void SimulatorEngine::Connect(const std::string& switchPort) {
  if (switchPort == connectedPort_) return;
  connectedPort_ = switchPort;
  assembler_.Reset();
  schedule_.Clear();
}

void SimulatorEngine::Dispatch(const std::string& command) {
  if (command.empty()) return;
  const Clock::time_point received = Clock::now();
  for (PlacedInstrument& placed : instruments_) {
    if (!Hears(placed)) continue;
    const std::optional<Transmission> answer = AnswerCommand(placed.instrument, command);
    if (answer && !placed.instrument.behaviour.silent) {
      ReplySchedule::Pace pace = PaceFor(placed.instrument.behaviour, received);
      if (answer->delay) pace.earliestStart = received + *answer->delay;
      schedule_.Plan(*answer, pace);
    }
  }
}

bool SimulatorEngine::Hears(const PlacedInstrument& placed) const {
  if (!switch_) return placed.switchPort.empty();
  return !connectedPort_.empty() && placed.switchPort == connectedPort_;
}

ReplySchedule::Pace SimulatorEngine::PaceFor(const LineBehaviour& behaviour, Clock::time_point received) const {
  const std::chrono::nanoseconds characterTime{10'000'000'000LL / baudRate_};
  const std::chrono::nanoseconds delay =
      behaviour.replyDelay.count() >= 0
          ? std::chrono::nanoseconds(behaviour.replyDelay)
          : std::max<std::chrono::nanoseconds>(kMinimumDefaultDelay, 2 * characterTime);
  return {received + delay, characterTime, behaviour.paced, behaviour.unplugAfter};
}

void SimulatorEngine::SendDue() {
  if (!pty_.IsOpen() || writeBlocked_) return;
  ReplySchedule::Due due = schedule_.TakeDue(Clock::now());
  if (due.bytes.empty() && !due.unplug) return;
  const std::optional<std::size_t> written = pty_.Write(due.bytes);
  if (!written) {
    CloseFarEnd();
    return;
  }
  if (*written < due.bytes.size()) {
    due.bytes.erase(0, *written);
    schedule_.PutBack(std::move(due));
    writeBlocked_ = true;
    return;
  }
  if (due.unplug) CloseFarEnd();
}

void SimulatorEngine::CloseFarEnd() {
  pty_.Close();
  schedule_.Clear();
  writeBlocked_ = false;
  unplugged_ = true;
  changed_.notify_all();
}

}  // namespace kivocom
