// SPDX-License-Identifier: MIT
// Answers to a client's COM-port requests, made from the same value codes the client half sends.
#include "platform/network/com_port_answer.h"

#include <vector>

#include "platform/network/com_port_option.h"

namespace kivocom {
namespace {

constexpr uint8_t kSignature = 0;
constexpr uint8_t kSetLineStateMask = 10;
constexpr uint8_t kSetModemStateMask = 11;
constexpr uint8_t kControlFlowQuery = 0;
constexpr uint8_t kControlLastFlowSetting = 3;  // 1 none, 2 XON/XOFF, 3 hardware

// The value in force for a settings command (rate, data size, parity, stop size).
std::string ValueInForce(uint8_t command, const LineSettings& inForce) {
  for (const ComPortRequest& request : SettingsRequests(inForce))
    if (request.command == command) return request.value;
  return {};
}

ComPortAnswer Answer(uint8_t command, const std::string& value) {
  return {ComPortBytes({static_cast<uint8_t>(command + comport::kServerOffset), value, ""}), ComPortAction::None, ""};
}

// A settings request of value 0 asks what is in force; any other value is a wish, refused when
// it differs from what is in force.
ComPortAnswer AnswerSetting(uint8_t command, const std::string& asked, const LineSettings& inForce) {
  const std::string value = ValueInForce(command, inForce);
  ComPortAnswer answer = Answer(command, value);
  const bool query = asked.find_first_not_of('\0') == std::string::npos;
  if (!query && asked != value) answer.refused = ReplyValueText(command, asked);
  return answer;
}

ComPortAnswer AnswerControl(const std::string& asked) {
  const uint8_t value = asked.empty() ? 0 : static_cast<uint8_t>(asked[0]);
  if (value == kControlFlowQuery || value <= kControlLastFlowSetting) {
    ComPortAnswer answer = Answer(comport::kSetControl, std::string(1, static_cast<char>(comport::kControlNoFlow)));
    if (value > comport::kControlNoFlow) answer.refused = "flow control";
    return answer;
  }
  return Answer(comport::kSetControl, asked.substr(0, 1));
}

ComPortAnswer AnswerPurge(const std::string& asked) {
  const uint8_t value = asked.empty() ? 0 : static_cast<uint8_t>(asked[0]);
  ComPortAnswer answer = Answer(comport::kPurgeData, asked.substr(0, 1));
  answer.action = value == comport::kPurgeReceive    ? ComPortAction::PurgeReceive
                  : value == comport::kPurgeTransmit ? ComPortAction::PurgeTransmit
                  : value == comport::kPurgeBoth     ? ComPortAction::PurgeBoth
                                                     : ComPortAction::None;
  return answer;
}

}  // namespace

ComPortAnswer AnswerComPortRequest(const std::string& payload, const LineSettings& inForce,
                                   const std::string& signature) {
  if (payload.empty()) return {};
  const auto command = static_cast<uint8_t>(payload[0]);
  const std::string value = payload.substr(1);
  switch (command) {
    case kSignature: return Answer(command, signature);
    case comport::kSetBaudRate:
    case comport::kSetDataSize:
    case comport::kSetParity:
    case comport::kSetStopSize: return AnswerSetting(command, value, inForce);
    case comport::kSetControl: return AnswerControl(value);
    case comport::kPurgeData: return AnswerPurge(value);
    case kSetLineStateMask:
    case kSetModemStateMask: return Answer(command, value.substr(0, 1));
    default: return {};  // flow suspend and resume, and codes the RFC does not define
  }
}

}  // namespace kivocom
