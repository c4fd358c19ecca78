// SPDX-License-Identifier: MIT
// What a simulated instrument answers to one command, by controller style.
#pragma once

#include <optional>
#include <string>

#include "kivocom/simulator.h"
#include "instruments/transmission.h"

namespace kivocom {

// The answer of `instrument` to `command` (an empty command is never passed); no value when it
// stays silent. May change the instrument: CS_OMEGA set frames store their values.
std::optional<Transmission> AnswerCommand(SimulatedInstrument& instrument, const std::string& command);

// The answer of a CS_KIVO, CS_AZONIX or CS_XSYS instrument: the whole text is the command.
std::optional<Transmission> AnswerPlainCommand(const SimulatedInstrument& instrument, const std::string& command);

// The answer of a CS_OMEGA instrument, which reads only frames for its own address.
std::optional<Transmission> AnswerOmegaFrame(SimulatedInstrument& instrument, const std::string& command);

// The answer a recorded instrument gave to the next coming of `command`; counts it as given.
std::optional<Transmission> AnswerFromRecord(RecordedAnswers& recording, const std::string& command);

// `text` with the instrument's line end, cut into the pieces its behaviour asks for.
Transmission ReplyWithLineEnd(const SimulatedInstrument& instrument, const std::string& text);

// The stored readings as a transmission, in pieces of `readingsPerPiece` readings.
Transmission DownloadTransmission(const StoredReadings& readings);

}  // namespace kivocom
