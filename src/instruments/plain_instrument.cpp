// SPDX-License-Identifier: MIT
#include "instruments/instrument_answer.h"

namespace kivocom {

std::optional<Transmission> AnswerPlainCommand(const SimulatedInstrument& instrument, const std::string& command) {
  if (!instrument.download.command.empty() && command == instrument.download.command) {
    return DownloadTransmission(instrument.download);
  }
  if (instrument.answer) {
    if (auto text = instrument.answer(command)) return ReplyWithLineEnd(instrument, *text);
  }
  const auto reply = instrument.replies.find(command);
  if (reply != instrument.replies.end()) return ReplyWithLineEnd(instrument, reply->second);
  if (instrument.defaultReply) return ReplyWithLineEnd(instrument, *instrument.defaultReply);
  return std::nullopt;
}

}  // namespace kivocom
