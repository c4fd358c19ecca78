// SPDX-License-Identifier: MIT
#include "simulator/host_protocol.h"

namespace kivocom {
namespace {

void WriteBehaviour(WireWriter& writer, const LineBehaviour& behaviour) {
  writer.I64(behaviour.replyDelay.count())
      .Bool(behaviour.paced)
      .U64(behaviour.pieceSize)
      .I64(behaviour.pieceGap.count())
      .Bool(behaviour.silent)
      .I64(behaviour.unplugAfter)
      .Bool(behaviour.echo);
}

LineBehaviour ReadBehaviour(WireReader& reader) {
  LineBehaviour behaviour;
  behaviour.replyDelay = std::chrono::microseconds(reader.I64());
  behaviour.paced = reader.Bool();
  behaviour.pieceSize = static_cast<std::size_t>(reader.U64());
  behaviour.pieceGap = std::chrono::milliseconds(reader.I64());
  behaviour.silent = reader.Bool();
  behaviour.unplugAfter = reader.I64();
  behaviour.echo = reader.Bool();
  return behaviour;
}

void WriteDownload(WireWriter& writer, const StoredReadings& download) {
  writer.Text(download.command)
      .I32(download.count)
      .Bool(download.binary)
      .I32(download.readingsPerPiece)
      .I64(download.pieceGap.count());
}

StoredReadings ReadDownload(WireReader& reader) {
  StoredReadings download;
  download.command = reader.Text();
  download.count = reader.I32();
  download.binary = reader.Bool();
  download.readingsPerPiece = reader.I32();
  download.pieceGap = std::chrono::milliseconds(reader.I64());
  return download;
}

void WriteAnswer(WireWriter& writer, const RecordedAnswer& answer) {
  writer.I64(answer.delay.count()).U32(static_cast<uint32_t>(answer.bursts.size()));
  for (const std::string& burst : answer.bursts) writer.Text(burst);
  writer.U32(static_cast<uint32_t>(answer.gaps.size()));
  for (const auto gap : answer.gaps) writer.I64(gap.count());
}

RecordedAnswer ReadAnswer(WireReader& reader) {
  RecordedAnswer answer;
  answer.delay = std::chrono::microseconds(reader.I64());
  for (uint32_t n = reader.U32(); n > 0; --n) answer.bursts.push_back(reader.Text());
  for (uint32_t n = reader.U32(); n > 0; --n) answer.gaps.emplace_back(reader.I64());
  return answer;
}

void WriteRecording(WireWriter& writer, const std::optional<RecordedAnswers>& recording) {
  writer.Bool(recording.has_value());
  if (!recording) return;
  writer.U32(static_cast<uint32_t>(recording->answers.size()));
  for (const auto& [command, answers] : recording->answers) {
    writer.Text(command).U32(static_cast<uint32_t>(answers.size()));
    for (const RecordedAnswer& answer : answers) WriteAnswer(writer, answer);
  }
  writer.U32(static_cast<uint32_t>(recording->given.size()));
  for (const auto& [command, given] : recording->given) writer.Text(command).U64(given);
}

std::optional<RecordedAnswers> ReadRecording(WireReader& reader) {
  if (!reader.Bool()) return std::nullopt;
  RecordedAnswers recording;
  for (uint32_t n = reader.U32(); n > 0; --n) {
    std::vector<RecordedAnswer>& answers = recording.answers[reader.Text()];
    for (uint32_t m = reader.U32(); m > 0; --m) answers.push_back(ReadAnswer(reader));
  }
  for (uint32_t n = reader.U32(); n > 0; --n) {
    std::string command = reader.Text();
    recording.given[command] = static_cast<std::size_t>(reader.U64());
  }
  return recording;
}

}  // namespace

void WriteInstrument(WireWriter& writer, const SimulatedInstrument& instrument) {
  writer.I32(instrument.style)
      .Text(instrument.address)
      .TextMap(instrument.replies)
      .OptionalText(instrument.defaultReply)
      .OptionalText(instrument.setAcknowledgement)
      .OptionalText(instrument.lineEnd);
  WriteBehaviour(writer, instrument.behaviour);
  WriteDownload(writer, instrument.download);
  WriteRecording(writer, instrument.recording);
}

SimulatedInstrument ReadInstrument(WireReader& reader) {
  SimulatedInstrument instrument;
  instrument.style = static_cast<EControllerStyle>(reader.I32());
  instrument.address = reader.Text();
  instrument.replies = reader.TextMap();
  instrument.defaultReply = reader.OptionalText();
  instrument.setAcknowledgement = reader.OptionalText();
  instrument.lineEnd = reader.OptionalText();
  instrument.behaviour = ReadBehaviour(reader);
  instrument.download = ReadDownload(reader);
  instrument.recording = ReadRecording(reader);
  return instrument;
}

}  // namespace kivocom
