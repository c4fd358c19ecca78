// SPDX-License-Identifier: MIT
// The simulator host's messages: every field of an instrument survives the trip, and a damaged
// message raises instead of yielding made-up values.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "kivocom/error.h"
#include "kivocom/simulator.h"
#include "simulator/host_protocol.h"

namespace kivocom {
namespace {

using namespace std::chrono_literals;

SimulatedInstrument EveryFieldSet() {
  SimulatedInstrument i;
  i.style = CS_OMEGA;
  i.address = "07";
  i.replies = {{"SL", "100.0"}, {std::string("A\0B", 3), std::string("\x00\xFF\r\n", 4)}, {"", ""}};
  i.defaultReply = "";
  i.setAcknowledgement = std::string(1, '\x15');
  i.lineEnd = "\r";
  i.behaviour = {1234567us, false, 3, 45ms, true, 9'000'000'000LL};
  i.download = {"DL", 70000, true, 17, 1500ms};
  RecordedAnswers recording;
  recording.answers["PV"] = {RecordedAnswer{}, RecordedAnswer{12ms, {"+1", std::string("\0\r\n", 3)}, {3ms}}};
  recording.given["PV"] = 1;
  i.recording = recording;
  return i;
}

SimulatedInstrument NothingOptional() {
  SimulatedInstrument i;
  i.style = CS_XSYS;
  i.defaultReply.reset();
  i.setAcknowledgement.reset();
  i.lineEnd.reset();
  i.behaviour.replyDelay = -1us;
  i.behaviour.unplugAfter = -1;
  i.download.count = -5;
  return i;
}

std::string Encoded(const SimulatedInstrument& instrument) {
  WireWriter writer;
  WriteInstrument(writer, instrument);
  return writer.Bytes();
}

void ExpectSame(const SimulatedInstrument& a, const SimulatedInstrument& b) {
  EXPECT_EQ(a.style, b.style);
  EXPECT_EQ(a.address, b.address);
  EXPECT_EQ(a.replies, b.replies);
  EXPECT_EQ(a.defaultReply, b.defaultReply);
  EXPECT_EQ(a.setAcknowledgement, b.setAcknowledgement);
  EXPECT_EQ(a.lineEnd, b.lineEnd);
  EXPECT_EQ(a.behaviour.replyDelay, b.behaviour.replyDelay);
  EXPECT_EQ(a.behaviour.paced, b.behaviour.paced);
  EXPECT_EQ(a.behaviour.pieceSize, b.behaviour.pieceSize);
  EXPECT_EQ(a.behaviour.pieceGap, b.behaviour.pieceGap);
  EXPECT_EQ(a.behaviour.silent, b.behaviour.silent);
  EXPECT_EQ(a.behaviour.unplugAfter, b.behaviour.unplugAfter);
  EXPECT_EQ(a.download.command, b.download.command);
  EXPECT_EQ(a.download.count, b.download.count);
  EXPECT_EQ(a.download.binary, b.download.binary);
  EXPECT_EQ(a.download.readingsPerPiece, b.download.readingsPerPiece);
  EXPECT_EQ(a.download.pieceGap, b.download.pieceGap);
  ASSERT_EQ(a.recording.has_value(), b.recording.has_value());
  if (!a.recording) return;
  EXPECT_EQ(a.recording->given, b.recording->given);
  ASSERT_EQ(a.recording->answers.size(), b.recording->answers.size());
  for (const auto& [command, answers] : a.recording->answers) {
    const auto& other = b.recording->answers.at(command);
    ASSERT_EQ(answers.size(), other.size()) << command;
    for (std::size_t n = 0; n < answers.size(); ++n) {
      EXPECT_EQ(answers[n].delay, other[n].delay);
      EXPECT_EQ(answers[n].bursts, other[n].bursts);
      EXPECT_EQ(answers[n].gaps, other[n].gaps);
    }
  }
}

TEST(SimulatorProtocol, EveryInstrumentFieldRoundTrips) {
  const struct {
    const char* name;
    SimulatedInstrument instrument;
  } rows[] = {{"defaults", SimulatedInstrument{}}, {"every field set", EveryFieldSet()},
              {"nothing optional", NothingOptional()}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string bytes = Encoded(row.instrument);
    WireReader reader(bytes);
    ExpectSame(ReadInstrument(reader), row.instrument);
    EXPECT_TRUE(reader.AtEnd());
  }
}

TEST(SimulatorProtocol, ACutMessageRaisesAtEveryLength) {
  const std::string bytes = Encoded(EveryFieldSet());
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    WireReader reader(std::string_view(bytes).substr(0, length));
    try {
      ReadInstrument(reader);
      ADD_FAILURE() << "no error for " << length << " of " << bytes.size() << " bytes";
    } catch (const Error& error) {
      EXPECT_EQ(error.Number(), kErrReadingDevice);
    }
  }
}

TEST(SimulatorProtocol, ATruthByteOtherThanZeroOrOneRaises) {
  const std::string message(1, '\x02');
  WireReader reader(message);
  EXPECT_THROW(reader.Bool(), Error);
}

TEST(SimulatorProtocol, RepliesCarryResultsOrTheHostsError) {
  WireWriter ok;
  ok.U8(kReplyOk).I64(-2).Text("COM");
  const std::string okReply = ok.Bytes();
  WireReader results = OpenReply(okReply);
  EXPECT_EQ(results.I64(), -2);
  EXPECT_EQ(results.Text(), "COM");

  const std::string errorReply =
      ErrorReply(Error(kErrInvalidPropertyValue, "InstrumentSimulator - Instrument", "No instrument with id 9."));
  try {
    OpenReply(errorReply);
    ADD_FAILURE() << "the error reply raised nothing";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), kErrInvalidPropertyValue);
    EXPECT_EQ(error.Source(), "InstrumentSimulator - Instrument");
    EXPECT_EQ(error.Description(), "No instrument with id 9.");
  }
}

TEST(SimulatorProtocol, MessagesAnnounceTheirLengthAndOverlongOnesAreRefused) {
  const std::string message = FramedMessage(std::string(300, 'x'));
  ASSERT_EQ(message.size(), kLengthFieldSize + 300);
  char field[kLengthFieldSize];
  message.copy(field, kLengthFieldSize);
  EXPECT_EQ(AnnouncedLength(field), 300u);

  const char overlong[kLengthFieldSize] = {0, 0, 0, 0x7F};
  EXPECT_THROW(AnnouncedLength(overlong), Error);
}

}  // namespace
}  // namespace kivocom
