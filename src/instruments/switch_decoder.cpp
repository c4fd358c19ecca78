// SPDX-License-Identifier: MIT
#include "instruments/switch_decoder.h"

#include "instruments/control_chars.h"

namespace kivocom {
namespace {

// Longest port name the switch collects; anything longer is not one of its commands.
constexpr std::size_t kMaxNameLength = 8;

bool IsPrefixOf(const std::string& head, const std::string& whole) {
  return head.size() <= whole.size() && whole.compare(0, head.size(), head) == 0;
}

char LeadByte(ESmartSwitchStyle model) {
  switch (model) {
    case SSS_BB4PORT:
    case SSS_BB8PORT:
      return ctl::kEsc;
    case SSS_BT528AP:
      return ctl::kDc4;
  }
  return 0;
}

}  // namespace

SwitchDecoder::Step SwitchDecoder::Feed(char byte) {
  Step step;
  if (pending_.empty() && (LeadByte(model_) == 0 || byte != LeadByte(model_))) {
    step.passOn.assign(1, byte);
    return step;
  }
  pending_ += byte;
  std::string name;
  switch (Examine(name)) {
    case Verdict::Partial:
      break;
    case Verdict::Select:
      step.connect = name;
      pending_.clear();
      break;
    case Verdict::Release:
      step.connect = std::string();
      pending_.clear();
      break;
    case Verdict::NotACommand: {
      // The held bytes were ordinary traffic; the last one may itself start a command.
      step.passOn = pending_.substr(0, pending_.size() - 1);
      pending_.clear();
      Step rest = Feed(byte);
      step.passOn += rest.passOn;
      step.connect = rest.connect;
      break;
    }
  }
  return step;
}

SwitchDecoder::Verdict SwitchDecoder::Examine(std::string& name) const {
  if (model_ == SSS_BT528AP) return ExamineBt528(name);
  return ExamineBlackBox(name);
}

SwitchDecoder::Verdict SwitchDecoder::ExamineBlackBox(std::string& name) const {
  const std::string lead{ctl::kEsc, ctl::kStx};
  if (pending_.size() < lead.size()) return IsPrefixOf(pending_, lead) ? Verdict::Partial : Verdict::NotACommand;
  if (!IsPrefixOf(lead, pending_)) return Verdict::NotACommand;
  const std::string rest = pending_.substr(lead.size());
  const std::string release = model_ == SSS_BB8PORT ? std::string{ctl::kStx, ctl::kEot} : std::string{ctl::kEot};
  if (rest == release) return Verdict::Release;
  if (rest.empty() || (rest.size() < release.size() && IsPrefixOf(rest, release))) return Verdict::Partial;
  if (rest.front() == release.front()) return Verdict::NotACommand;
  if (rest.back() != ctl::kCr) return rest.size() > kMaxNameLength + 1 ? Verdict::NotACommand : Verdict::Partial;
  name = rest.substr(0, rest.size() - 1);
  if (model_ == SSS_BB8PORT && name.size() == 2 && name.front() == '0') name.erase(0, 1);
  return Verdict::Select;
}

SwitchDecoder::Verdict SwitchDecoder::ExamineBt528(std::string& name) const {
  const std::string lead{ctl::kDc4, '0', '0'};
  if (pending_.size() < lead.size()) return IsPrefixOf(pending_, lead) ? Verdict::Partial : Verdict::NotACommand;
  if (!IsPrefixOf(lead, pending_)) return Verdict::NotACommand;
  const std::string rest = pending_.substr(lead.size());
  if (rest.empty() || rest.back() != ctl::kCr) {
    return rest.size() > kMaxNameLength ? Verdict::NotACommand : Verdict::Partial;
  }
  name = rest.substr(0, rest.size() - 1);
  return Verdict::Select;
}

}  // namespace kivocom
