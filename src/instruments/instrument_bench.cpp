// SPDX-License-Identifier: MIT
// The instruments of a simulated line: the smart switch's ear, the command assembler, the answers
// and their schedule.
#include "kivocom/instrument_bench.h"

#include <algorithm>
#include <vector>

#include "instruments/command_assembler.h"
#include "instruments/instrument_answer.h"
#include "instruments/reply_schedule.h"
#include "instruments/switch_decoder.h"
#include "kivocom/error.h"

namespace kivocom {
namespace {

// The default reply delay's floor: a quick real instrument takes at least this long to answer.
constexpr std::chrono::milliseconds kMinimumDefaultDelay{10};

using Clock = InstrumentBench::Clock;

struct PlacedInstrument {
  SimulatedInstrument instrument;
  std::string switchPort;
};

// The entry `id` of `instruments` (const or not); raises 380 with `source` for an unknown id.
template <class Instruments>
auto& PlacedIn(Instruments& instruments, std::size_t id, const std::string& source) {
  if (id >= instruments.size())
    throw Error(kErrInvalidPropertyValue, source, "No instrument with id " + std::to_string(id) + ".");
  return instruments[id];
}

// Everything a bench holds, kept out of the library's exported interface.
struct BenchState {
  int32_t baudRate = 9600;
  std::vector<PlacedInstrument> instruments;
  std::optional<SwitchDecoder> smartSwitch;
  std::string connectedPort;
  CommandAssembler assembler;
  ReplySchedule schedule;

  void HearByte(char byte, Clock::time_point at);
  void Connect(const std::string& switchPort);
  void Dispatch(const std::string& command, Clock::time_point at);
  bool Hears(const PlacedInstrument& placed) const;
  bool LineEchoes() const;
  ReplySchedule::Pace PaceFor(const LineBehaviour& behaviour, Clock::time_point received) const;
};

}  // namespace

struct InstrumentBench::State : BenchState {};

InstrumentBench::InstrumentBench() : state_(std::make_unique<State>()) {}

InstrumentBench::~InstrumentBench() = default;

void InstrumentBench::SetBaudRate(int32_t bitsPerSecond, const std::string& source) {
  if (bitsPerSecond < 1)
    throw Error(kErrInvalidPropertyValue, source, "The baud rate must be at least 1 bit per second.");
  state_->baudRate = bitsPerSecond;
}

int32_t InstrumentBench::BaudRate() const { return state_->baudRate; }

std::size_t InstrumentBench::AddInstrument(SimulatedInstrument instrument, const std::string& switchPort) {
  state_->instruments.push_back({std::move(instrument), switchPort});
  return state_->instruments.size() - 1;
}

void InstrumentBench::ChangeInstrument(std::size_t id, const std::function<void(SimulatedInstrument&)>& change,
                                       const std::string& source) {
  change(PlacedIn(state_->instruments, id, source).instrument);
}

const SimulatedInstrument& InstrumentBench::Instrument(std::size_t id, const std::string& source) const {
  return PlacedIn(state_->instruments, id, source).instrument;
}

void InstrumentBench::SetSmartSwitch(std::optional<ESmartSwitchStyle> model) {
  state_->smartSwitch.reset();
  if (model) state_->smartSwitch.emplace(*model);
  state_->connectedPort.clear();
  state_->assembler.Reset();
  state_->schedule.Clear();
}

std::string InstrumentBench::ConnectedSwitchPort() const { return state_->connectedPort; }

// A line with local echo sends every byte back at once, before any answer.
void InstrumentBench::Hear(std::string_view bytes, Clock::time_point at) {
  if (bytes.empty()) return;
  if (state_->LineEchoes()) state_->schedule.Plan({{std::string(bytes)}, {}, {}, std::nullopt}, {at, {}, false, -1});
  for (char byte : bytes) state_->HearByte(byte, at);
}

std::optional<InstrumentBench::Clock::time_point> InstrumentBench::NextDue() const {
  return state_->schedule.NextDue();
}

InstrumentBench::Due InstrumentBench::TakeDue(Clock::time_point now) {
  ReplySchedule::Due due = state_->schedule.TakeDue(now);
  return {std::move(due.bytes), due.unplug};
}

void InstrumentBench::PutBack(Due rest) { state_->schedule.PutBack({std::move(rest.bytes), rest.unplug}); }

void InstrumentBench::ClearPlanned() { state_->schedule.Clear(); }

void BenchState::HearByte(char byte, Clock::time_point at) {
  if (!smartSwitch) {
    if (auto command = assembler.Feed(byte)) Dispatch(*command, at);
    return;
  }
  const SwitchDecoder::Step step = smartSwitch->Feed(byte);
  for (char passed : step.passOn) {
    if (auto command = assembler.Feed(passed)) Dispatch(*command, at);
  }
  if (step.connect) Connect(*step.connect);
}

// The switch now connects `switchPort`: a half-heard command and the answers still to come from
// the instrument that was connected are cut off with it.
void BenchState::Connect(const std::string& switchPort) {
  if (switchPort == connectedPort) return;
  connectedPort = switchPort;
  assembler.Reset();
  schedule.Clear();
}

void BenchState::Dispatch(const std::string& command, Clock::time_point at) {
  if (command.empty()) return;
  for (PlacedInstrument& placed : instruments) {
    if (!Hears(placed)) continue;
    const std::optional<Transmission> answer = AnswerCommand(placed.instrument, command);
    if (!answer || placed.instrument.behaviour.silent) continue;
    // A recorded answer keeps its own delay.
    ReplySchedule::Pace pace = PaceFor(placed.instrument.behaviour, at);
    if (answer->delay) pace.earliestStart = at + *answer->delay;
    schedule.Plan(*answer, pace);
  }
}

bool BenchState::Hears(const PlacedInstrument& placed) const {
  if (!smartSwitch) return placed.switchPort.empty();
  return !connectedPort.empty() && placed.switchPort == connectedPort;
}

bool BenchState::LineEchoes() const {
  return std::any_of(instruments.begin(), instruments.end(),
                     [](const PlacedInstrument& placed) { return placed.instrument.behaviour.echo; });
}

ReplySchedule::Pace BenchState::PaceFor(const LineBehaviour& behaviour, Clock::time_point received) const {
  const std::chrono::nanoseconds characterTime{10'000'000'000LL / baudRate};
  const std::chrono::nanoseconds delay =
      behaviour.replyDelay.count() >= 0
          ? std::chrono::nanoseconds(behaviour.replyDelay)
          : std::max<std::chrono::nanoseconds>(kMinimumDefaultDelay, 2 * characterTime);
  return {received + delay, characterTime, behaviour.paced, behaviour.unplugAfter};
}

}  // namespace kivocom
