// SPDX-License-Identifier: MIT
#include "instruments/instrument_answer.h"

#include "instruments/control_chars.h"

namespace kivocom {
namespace {

std::string LineEndOf(const SimulatedInstrument& instrument) {
  if (instrument.lineEnd) return *instrument.lineEnd;
  if (instrument.style == CS_AZONIX) return std::string(1, ctl::kCr);
  return std::string{ctl::kCr, ctl::kLf};
}

}  // namespace

std::optional<Transmission> AnswerCommand(SimulatedInstrument& instrument, const std::string& command) {
  if (instrument.recording) return AnswerFromRecord(*instrument.recording, command);
  switch (instrument.style) {
    case CS_KIVO:
    case CS_AZONIX:
    case CS_XSYS:
      return AnswerPlainCommand(instrument, command);
    case CS_OMEGA:
      return AnswerOmegaFrame(instrument, command);
  }
  return std::nullopt;
}

Transmission ReplyWithLineEnd(const SimulatedInstrument& instrument, const std::string& text) {
  return {SplitIntoPieces(text + LineEndOf(instrument), instrument.behaviour.pieceSize),
          instrument.behaviour.pieceGap, {}, std::nullopt};
}

std::vector<std::string> SplitIntoPieces(const std::string& text, std::size_t pieceSize) {
  if (pieceSize == 0 || text.size() <= pieceSize) return {text};
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < text.size(); at += pieceSize) pieces.push_back(text.substr(at, pieceSize));
  return pieces;
}

}  // namespace kivocom
