// SPDX-License-Identifier: MIT
#include "instruments/session_record.h"

#include <cstdio>
#include <sstream>

#include "kivocom/error.h"

namespace kivocom {
namespace {

constexpr const char* kSource = "InstrumentSimulator - Replay";

[[noreturn]] void RaiseBadLine(std::size_t number, const std::string& why) {
  throw Error(kErrInvalidPropertyValue, kSource,
              "The session record is damaged at line " + std::to_string(number) + ": " + why + ".");
}

char KindLetter(RecordEntry::Kind kind) {
  switch (kind) {
    case RecordEntry::Kind::Settings: return 'S';
    case RecordEntry::Kind::FromProgram: return 'P';
    case RecordEntry::Kind::FromInstrument: return 'I';
    case RecordEntry::Kind::LineLost: return 'X';
  }
  return '?';
}

bool IsByteEntry(RecordEntry::Kind kind) {
  return kind == RecordEntry::Kind::FromProgram || kind == RecordEntry::Kind::FromInstrument;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string BytesFromHex(const std::string& hex, std::size_t number) {
  std::string bytes;
  std::istringstream words(hex);
  std::string word;
  while (words >> word) {
    if (word.size() != 2 || HexDigit(word[0]) < 0 || HexDigit(word[1]) < 0) RaiseBadLine(number, "\"" + word + "\" is no byte");
    bytes += static_cast<char>(HexDigit(word[0]) * 16 + HexDigit(word[1]));
  }
  if (bytes.empty()) RaiseBadLine(number, "an entry without bytes");
  return bytes;
}

RecordEntry::Kind KindOf(const std::string& letter, std::size_t number) {
  if (letter == "S") return RecordEntry::Kind::Settings;
  if (letter == "P") return RecordEntry::Kind::FromProgram;
  if (letter == "I") return RecordEntry::Kind::FromInstrument;
  if (letter == "X") return RecordEntry::Kind::LineLost;
  RaiseBadLine(number, "unknown entry \"" + letter + "\"");
}

std::chrono::microseconds TimeOf(const std::string& text, std::size_t number) {
  std::size_t used = 0;
  double milliseconds = -1;
  try {
    milliseconds = std::stod(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  // Beyond about three years a time is no spy session's.
  if (used != text.size() || !(milliseconds >= 0 && milliseconds < 1e11)) RaiseBadLine(number, "\"" + text + "\" is no time");
  return std::chrono::microseconds(static_cast<int64_t>(milliseconds * 1000.0 + 0.5));
}

RecordEntry ParseEntry(const std::string& line, std::size_t number) {
  std::istringstream fields(line);
  std::string letter, time;
  fields >> letter >> time;
  RecordEntry entry{KindOf(letter, number), TimeOf(time, number), {}};
  std::string rest;
  std::getline(fields >> std::ws, rest);
  entry.data = IsByteEntry(entry.kind) ? BytesFromHex(rest, number) : rest;
  return entry;
}

}  // namespace

std::string HexBytes(const std::string& bytes) {
  std::string hex;
  char digits[4];
  for (unsigned char c : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", c);
    hex += (hex.empty() ? "" : " ") + std::string(digits);
  }
  return hex;
}

std::string RecordLine(const RecordEntry& entry) {
  char time[32];
  std::snprintf(time, sizeof time, "%.3f", static_cast<double>(entry.at.count()) / 1000.0);
  const std::string data = IsByteEntry(entry.kind) ? HexBytes(entry.data) : entry.data;
  return std::string(1, KindLetter(entry.kind)) + " " + time + " " + data;
}

std::vector<RecordEntry> ParseRecord(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  std::size_t number = 0;
  std::vector<RecordEntry> entries;
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1) {
      if (line != kRecordHeading) RaiseBadLine(1, "it does not start with \"" + std::string(kRecordHeading) + "\"");
      continue;
    }
    if (line.empty() || line.front() == '#') continue;
    entries.push_back(ParseEntry(line, number));
  }
  if (number == 0) RaiseBadLine(1, "the file is empty");
  return entries;
}

}  // namespace kivocom
