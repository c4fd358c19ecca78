// SPDX-License-Identifier: MIT
#include <algorithm>
#include <cstdio>

#include "kivocom/simulator.h"
#include "instruments/instrument_answer.h"

namespace kivocom {
namespace {

constexpr std::size_t kHeaderLength = 4;
constexpr std::size_t kRecordLength = 10;

// Text reading `index`: 20.00 rising by 0.25 a reading, signed, four digits before the point.
std::string TextReading(int32_t index) {
  char text[32];
  std::snprintf(text, sizeof text, "%+08.2f\r\n", 20.0 + 0.25 * index);
  return text;
}

// Binary record `index`: ten bytes that cover the whole byte range across records, control
// characters and bytes above 127 included, as real binary dumps do.
std::string BinaryRecord(int32_t index) {
  std::string record(kRecordLength, '\0');
  for (std::size_t j = 0; j < kRecordLength; ++j) {
    record[j] = static_cast<char>((static_cast<std::size_t>(index) * kRecordLength + j) * 37 + 11);
  }
  return record;
}

std::string Header(const StoredReadings& readings) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d", std::max(readings.count, 0) % 10000);
  return text;
}

std::string Reading(const StoredReadings& readings, int32_t index) {
  return readings.binary ? BinaryRecord(index) : TextReading(index);
}

}  // namespace

std::string StoredReadingsStream(const StoredReadings& readings) {
  std::string stream = readings.binary ? Header(readings) : std::string();
  for (int32_t i = 0; i < readings.count; ++i) stream += Reading(readings, i);
  return stream;
}

Transmission DownloadTransmission(const StoredReadings& readings) {
  Transmission transmission{{}, readings.pieceGap, {}, std::nullopt};
  std::string piece = readings.binary ? Header(readings) : std::string();
  for (int32_t i = 0; i < readings.count; ++i) {
    piece += Reading(readings, i);
    if (readings.readingsPerPiece > 0 && (i + 1) % readings.readingsPerPiece == 0) {
      transmission.pieces.push_back(std::move(piece));
      piece.clear();
    }
  }
  if (!piece.empty()) transmission.pieces.push_back(std::move(piece));
  return transmission;
}

}  // namespace kivocom
