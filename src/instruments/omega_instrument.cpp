// SPDX-License-Identifier: MIT
#include <cctype>

#include "instruments/control_chars.h"
#include "instruments/instrument_answer.h"
#include "instruments/omega_frame.h"

namespace kivocom {
namespace {

// Where the command ends and the value begins in a set frame's body: after the longest command
// the instrument knows, else after the leading letters (so "SL100.0" sets "SL" to "100.0").
std::size_t CommandLength(const SimulatedInstrument& instrument, const std::string& body) {
  std::size_t known = 0;
  for (const auto& entry : instrument.replies) {
    const std::string& command = entry.first;
    if (command.size() > known && body.compare(0, command.size(), command) == 0) known = command.size();
  }
  if (known > 0) return known;
  std::size_t letters = 0;
  while (letters < body.size() && std::isalpha(static_cast<unsigned char>(body[letters]))) ++letters;
  return letters;
}

void StoreSetValue(SimulatedInstrument& instrument, const std::string& body) {
  const std::size_t length = CommandLength(instrument, body);
  instrument.replies[body.substr(0, length)] = body.substr(length);
}

}  // namespace

std::optional<Transmission> AnswerOmegaFrame(SimulatedInstrument& instrument, const std::string& command) {
  const auto frame = DecodeOmegaFrame(command, instrument.address);
  if (!frame) return std::nullopt;
  switch (frame->kind) {
    case OmegaFrame::Kind::Poll:
      return AnswerPlainCommand(instrument, frame->body);
    case OmegaFrame::Kind::Set:
      StoreSetValue(instrument, frame->body);
      if (!instrument.setAcknowledgement) return std::nullopt;
      return ReplyWithLineEnd(instrument, *instrument.setAcknowledgement);
    case OmegaFrame::Kind::BadCheck:
    case OmegaFrame::Kind::Malformed:
      break;
  }
  return ReplyWithLineEnd(instrument, std::string(1, ctl::kNak));
}

}  // namespace kivocom
