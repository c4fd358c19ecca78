// SPDX-License-Identifier: MIT
#include "instruments/replay_plan.h"

#include <cstdlib>

#include "instruments/line_listener.h"

namespace kivocom {
namespace {

// Walks the record in order, keeping the command whose answer is being collected.
class ReplayPlanner {
 public:
  void Take(const RecordEntry& entry) {
    switch (entry.kind) {
      case RecordEntry::Kind::Settings: TakeSettings(entry.data); break;
      case RecordEntry::Kind::FromProgram:
        for (char byte : entry.data) Hear(byte, entry.at);
        break;
      case RecordEntry::Kind::FromInstrument: TakeAnswer(entry); break;
      case RecordEntry::Kind::LineLost: CloseExchange(); break;
    }
  }

  RecordedSession Finish() {
    CloseExchange();
    plan_.switchModel = listener_.Model();
    return std::move(plan_);
  }

 private:
  struct Exchange {
    std::string port;
    std::string command;
    std::chrono::microseconds sentAt;
    RecordedAnswer answer;
    std::chrono::microseconds lastBurstAt{0};
  };

  void TakeSettings(const std::string& settings) {
    const long speed = std::strtol(settings.c_str(), nullptr, 10);
    if (speed > 0 && speed <= INT32_MAX) plan_.baudRate = static_cast<int32_t>(speed);
  }

  void Hear(char byte, std::chrono::microseconds at) {
    for (const LineListener::Heard& heard : listener_.Feed(byte)) {
      if (heard.kind != LineListener::Heard::Kind::Command) {
        CloseExchange();
        port_ = heard.text;
      } else if (!heard.text.empty()) {
        CloseExchange();
        open_ = Exchange{port_, heard.text, at, {}};
      }
    }
  }

  void TakeAnswer(const RecordEntry& entry) {
    if (!open_) return;
    RecordedAnswer& answer = open_->answer;
    if (answer.bursts.empty()) {
      answer.delay = std::max(std::chrono::microseconds(0), entry.at - open_->sentAt);
    } else {
      answer.gaps.push_back(std::max(std::chrono::microseconds(0), entry.at - open_->lastBurstAt));
    }
    answer.bursts.push_back(entry.data);
    open_->lastBurstAt = entry.at;
  }

  void CloseExchange() {
    if (!open_) return;
    plan_.answersByPort[open_->port].answers[open_->command].push_back(std::move(open_->answer));
    ++plan_.exchanges;
    open_.reset();
  }

  LineListener listener_;
  std::string port_;
  std::optional<Exchange> open_;
  RecordedSession plan_;
};

}  // namespace

RecordedSession PlanReplay(const std::vector<RecordEntry>& entries) {
  ReplayPlanner planner;
  for (const RecordEntry& entry : entries) planner.Take(entry);
  return planner.Finish();
}

}  // namespace kivocom
