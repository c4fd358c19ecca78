// SPDX-License-Identifier: MIT
// What a simulated instrument is: the protocol it speaks, what it answers, how its answers travel
// and the readings it stores. The pseudo-terminal simulator (kivocom/simulator.h) and the
// in-process simulated lines (sim:// devices, kivocom/instrument_bench.h) play the same instruments.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kivocom/enums.h"

namespace kivocom {

// How an instrument's answers travel on the line.
struct LineBehaviour {
  // Time from the CR that ends a command to the first byte of the answer. Negative means the
  // default: the larger of 10 ms and two character times, as slow as a quick real instrument,
  // so the answer never races the library's clearing of its receive buffer after sending.
  std::chrono::microseconds replyDelay{-1};
  // Sends answers at the line's rate, 10 bit times a character; false sends each piece at once.
  bool paced = true;
  // Splits every answer into pieces of this many bytes; 0 sends it as one piece.
  std::size_t pieceSize = 0;
  // Silence between two pieces of an answer.
  std::chrono::milliseconds pieceGap{0};
  // Answers nothing at all (the command is still recorded).
  bool silent = false;
  // Closes the far end, as an unplugged adapter would, after sending this many bytes of the next
  // answer (0: as soon as that answer would start); negative never does.
  int64_t unplugAfter = -1;
  // Sends back every byte the line brings at once, before any answer, as a line with local echo
  // does (half-duplex adapters, some converters); one such instrument makes the whole line echo.
  bool echo = false;
};

// Readings an instrument has stored, streamed when its download command arrives.
struct StoredReadings {
  // The command that starts the stream; empty means the instrument has no download.
  std::string command;
  // How many readings are stored.
  int32_t count = 0;
  // True: a 4-character header (the count in four digits) then 10-byte records of arbitrary
  // bytes; false: text readings such as "+0020.25", each ending CR LF.
  bool binary = false;
  // Readings sent in each piece; 0 sends the whole stream as one piece.
  int32_t readingsPerPiece = 0;
  // Silence between two pieces.
  std::chrono::milliseconds pieceGap{800};
};

// The exact bytes a download of `readings` streams (header included); the same on every call.
std::string StoredReadingsStream(const StoredReadings& readings);

// One answer an instrument gave in a recorded session, as the line carried it.
struct RecordedAnswer {
  // From the CR that ended the command to the answer's first byte.
  std::chrono::microseconds delay{0};
  // The answer's bytes in the bursts they came in; none: the instrument stayed silent.
  std::vector<std::string> bursts;
  // The silence before each burst after the first (one fewer than `bursts`).
  std::vector<std::chrono::microseconds> gaps;
};

// An instrument's side of a recorded session (`kivocom spy --record`; see
// kivocom/session_replay.h): each command is answered as it was answered then.
struct RecordedAnswers {
  // Per command, exactly as the line carried it without its CR, its answers in recorded order.
  // Each time the command comes the next answer goes, and after the last one the last again; a
  // command the record never heard goes unanswered.
  std::map<std::string, std::vector<RecordedAnswer>> answers;
  // How many times each command has been answered so far.
  std::map<std::string, std::size_t> given;
};

// One simulated instrument.
struct SimulatedInstrument {
  // The protocol family it speaks; fixes how commands are taken and how answers end.
  EControllerStyle style = CS_KIVO;
  // CS_OMEGA only: its address, normally two characters such as "01".
  std::string address;
  // Answer text per command, without the line end. CS_OMEGA set frames store their values here.
  std::map<std::string, std::string> replies;
  // Answer to a command missing from `replies`; no value leaves such commands unanswered.
  std::optional<std::string> defaultReply = std::string("+0023.45");
  // CS_OMEGA only: answer to a set frame with a good check; no value leaves sets unanswered.
  std::optional<std::string> setAcknowledgement = std::string(1, '\x06');
  // What ends every answer; no value means the style's own: CR alone for CS_AZONIX, else CR LF.
  std::optional<std::string> lineEnd;
  // Delay, pacing, pieces, silence and unplugging of its answers.
  LineBehaviour behaviour;
  // Its stored readings and download command.
  StoredReadings download;
  // CS_KIVO, CS_AZONIX and CS_XSYS: a program's own answers (such as an instrument described by
  // a definition file), asked before the reply table with every command; the answer text without
  // the line end, or no value to use the table. Called on the thread that plays the instrument; it
  // must not call the simulator. The Windows build's pseudo-terminal simulator, whose instruments
  // play in its host process, refuses an instrument that has one (380).
  std::function<std::optional<std::string>(const std::string& command)> answer;
  // Answers from a recorded session instead of the style's rules and the tables above, with the
  // recorded bytes and timing; no value: none.
  std::optional<RecordedAnswers> recording;
};

// Instrument number `n` of a sim:// device or of `kivocom simulate` (0 for a lone one): answers
// "PV" with the reading +00<23+n>.45, "ID" with "KIVO SIMULATED INSTRUMENT <n>", any other
// command with +0023.45, and streams `readings` stored readings (binary records when `binary`)
// five at a time on "DL".
SimulatedInstrument SampleInstrument(EControllerStyle style, const std::string& address, int n, int32_t readings,
                                     bool binary);

}  // namespace kivocom
