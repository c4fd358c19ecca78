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
  return instrument;
}

}  // namespace kivocom
