// SPDX-License-Identifier: MIT
// The file `kivocom spy --record` keeps: what went each way on a line, burst by burst, with its
// time. Plain text, one entry a line, so it can be read, cut and mailed:
//
//   kivocom-spy-record 1
//   S 0.000 9600,N,8,1                    the line settings the program chose
//   P 12.345 04 30 30 31 31 50 56 05 0D   bytes from the program to the instrument
//   I 25.001 2B 30 30 32 34 2E 34 35 0D 0A  bytes from the instrument to the program
//   X 31.200 the device went away          the instrument's line was lost
//
// Times are milliseconds since the spy started, with three decimals; bytes are two hexadecimal
// digits each, parted by a space. Lines starting with # are remarks.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace kivocom {

struct RecordEntry {
  enum class Kind { Settings, FromProgram, FromInstrument, LineLost };
  Kind kind;
  std::chrono::microseconds at{0};  // since the start of the session
  std::string data;                 // the bytes, the settings text or the loss's description
};

// The first line of every record.
inline constexpr const char* kRecordHeading = "kivocom-spy-record 1";

// `bytes` as the record writes them: two hexadecimal digits each, parted by a space.
std::string HexBytes(const std::string& bytes);

// `entry` as one line of the record, without its line end.
std::string RecordLine(const RecordEntry& entry);

// The entries of a record's text; raises kivocom::Error 380 (source "InstrumentSimulator -
// Replay") naming the line for a text that is not a record.
std::vector<RecordEntry> ParseRecord(const std::string& text);

}  // namespace kivocom
