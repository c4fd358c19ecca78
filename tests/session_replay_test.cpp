// SPDX-License-Identifier: MIT
// The parts behind the spy's decoding and the simulator's replay: the line listener that finds
// the switch model from the traffic, the address a frame carries, the session record's lines,
// and the plan that turns a record into recorded instruments.
#include <gtest/gtest.h>

#include "kivocom/error.h"
#include "kivocom/session_replay.h"
#include "instruments/instrument_answer.h"
#include "instruments/line_listener.h"
#include "instruments/omega_frame.h"
#include "instruments/replay_plan.h"
#include "support/scratch_folder.h"

namespace kivocom {
namespace {

using namespace std::chrono_literals;
using Kind = LineListener::Heard::Kind;

struct ListenCase {
  const char* name;
  std::optional<ESmartSwitchStyle> given;
  std::string traffic;
  std::optional<ESmartSwitchStyle> found;
  std::string heard;  // each thing heard: R (release), S:port, C:command
};
void PrintTo(const ListenCase& row, std::ostream* os) { *os << row.name; }

std::string Heard(LineListener& listener, const std::string& traffic) {
  std::string heard;
  for (char byte : traffic) {
    for (const auto& h : listener.Feed(byte)) {
      heard += h.kind == Kind::Release ? "R " : h.kind == Kind::Select ? "S:" + h.text + " " : "C:" + h.text + " ";
    }
  }
  return heard;
}

class LineListenerTest : public ::testing::TestWithParam<ListenCase> {};

TEST_P(LineListenerTest, HearsSwitchSequencesAndCommands) {
  LineListener listener(GetParam().given);
  EXPECT_EQ(Heard(listener, GetParam().traffic), GetParam().heard);
  EXPECT_EQ(listener.Model(), GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LineListenerTest,
    ::testing::Values(
        ListenCase{"Bb4FoundFromItsRelease", std::nullopt, "\x1b\x02\x04\x1b\x02" "B\r\rPV\r", SSS_BB4PORT,
                   "R S:B C: C:PV "},
        ListenCase{"Bb8FoundFromItsRelease", std::nullopt, "\x1b\x02\x02\x04\x1b\x02" "0B\rPV\r", SSS_BB8PORT,
                   "R S:B C:PV "},
        ListenCase{"Bt528FromItsSelection", std::nullopt, "\x14" "005\rID\r", SSS_BT528AP, "S:5 C:ID "},
        ListenCase{"NoSwitchHeardYet", std::nullopt, "\x1b\r\x14\rPV\r", std::nullopt, "C:\x1b C:\x14 C:PV "},
        ListenCase{"GivenModelOnly", SSS_BB4PORT, "\x14" "005\r\x1b\x02" "A\r", SSS_BB4PORT, "C:\x14" "005 S:A "}),
    [](const ::testing::TestParamInfo<ListenCase>& info) { return std::string(info.param.name); });

TEST(LineListenerTest, WithoutASwitchSwitchBytesAreCommandText) {
  LineListener listener = LineListener::NoSwitch();
  EXPECT_EQ(Heard(listener, "\x1b\x02\x04\x1b\x02" "B\r"), "C:\x1b\x02\x04\x1b\x02" "B ");
}

TEST(FrameAddressTest, ReadsTheDoubling) {
  EXPECT_EQ(FrameAddress("\x04" "0011PV\x05"), "01");
  EXPECT_EQ(FrameAddress("\x04" "55PV\x05"), "5");
  EXPECT_EQ(FrameAddress("\x04\x02SL1\x03\x32"), "");
  EXPECT_EQ(FrameAddress("PV"), std::nullopt);
  const auto bad = DecodeOmegaFrame("\x04" "0011\x02SL100.0\x03\x32", "01");
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->body, "SL100.0");
  EXPECT_EQ(bad->sentCheck, '\x32');
  EXPECT_EQ(bad->rightCheck, '\x33');
}

TEST(SessionRecordTest, LinesCarryEveryByteAndTimeBackUnchanged) {
  std::string everyByte;
  for (int c = 0; c < 256; ++c) everyByte += static_cast<char>(c);
  const std::vector<RecordEntry> entries{{RecordEntry::Kind::Settings, 0us, "9600,E,7,1"},
                                         {RecordEntry::Kind::FromProgram, 1234us, everyByte},
                                         {RecordEntry::Kind::FromInstrument, 98765432us, "\r\n"},
                                         {RecordEntry::Kind::LineLost, 98765433us, "the device went away"}};
  std::string text = std::string(kRecordHeading) + "\n# a remark\n\n";
  for (const auto& entry : entries) text += RecordLine(entry) + "\r\n";
  const std::vector<RecordEntry> read = ParseRecord(text);
  ASSERT_EQ(read.size(), entries.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i].kind, entries[i].kind) << i;
    EXPECT_EQ(read[i].at, entries[i].at) << i;
    EXPECT_EQ(read[i].data, entries[i].data) << i;
  }
}

TEST(SessionRecordTest, DamagedRecordsAreRefusedNamingTheLine) {
  const std::string head = std::string(kRecordHeading) + "\n";
  for (const auto& [text, line] : std::vector<std::pair<std::string, std::string>>{
           {"", "line 1"}, {"not a record\nP 1 0D\n", "line 1"}, {head + "P 1.0 0D\nQ 2 0D\n", "line 3"},
           {head + "P x 0D\n", "line 2"}, {head + "P -1 0D\n", "line 2"}, {head + "P 1 0G\n", "line 2"},
           {head + "I 1 0D0A\n", "line 2"}, {head + "P 1\n", "line 2"}, {head + "P nan 0D\n", "line 2"}}) {
    try {
      ParseRecord(text);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), kErrInvalidPropertyValue);
      EXPECT_NE(e.Description().find(line), std::string::npos) << e.Description();
    }
  }
}

// A bb4 session: PV on A unanswered at first, then answered in two bursts; a set frame on A
// acknowledged late; ID on B.
std::vector<RecordEntry> BenchSession() {
  using K = RecordEntry::Kind;
  return {{K::Settings, 0us, "19200,N,8,1"},
          {K::FromProgram, 1000us, "\x1b\x02\x04\x1b\x02" "A\r\rPV\r"},
          {K::FromProgram, 300000us, "\rPV\r"},
          {K::FromInstrument, 312000us, "+00"},
          {K::FromInstrument, 315000us, "24\r\n"},
          {K::FromProgram, 400000us, "\rSET\r"},
          {K::FromProgram, 400100us, "\r"},
          {K::FromInstrument, 410000us, "\x06\r\n"},
          {K::FromProgram, 500000us, "\x1b\x02\x04\x1b\x02" "B\r\rID\r"},
          {K::FromInstrument, 505000us, "METER B\r\n"}};
}

TEST(ReplayPlanTest, EachCommandGetsTheAnswersRecordedAfterItInTurn) {
  RecordedSession plan = PlanReplay(BenchSession());
  EXPECT_EQ(plan.switchModel, SSS_BB4PORT);
  EXPECT_EQ(plan.baudRate, 19200);
  EXPECT_EQ(plan.exchanges, 4u);
  ASSERT_EQ(plan.answersByPort.size(), 2u);
  RecordedAnswers& a = plan.answersByPort["A"];
  EXPECT_EQ(AnswerFromRecord(a, "PV"), std::nullopt) << "the first PV went unanswered";
  for (int again = 0; again < 2; ++again) {
    const auto answer = AnswerFromRecord(a, "PV");
    ASSERT_TRUE(answer) << again;
    EXPECT_EQ(answer->pieces, (std::vector<std::string>{"+00", "24\r\n"}));
    EXPECT_EQ(answer->delay, 12000us);
    EXPECT_EQ(answer->pieceGaps, std::vector<std::chrono::microseconds>{3000us});
  }
  const auto ack = AnswerFromRecord(a, "SET");
  ASSERT_TRUE(ack);
  EXPECT_EQ(ack->pieces, std::vector<std::string>{"\x06\r\n"}) << "a late answer still belongs to its command";
  EXPECT_EQ(AnswerFromRecord(a, "ID"), std::nullopt) << "ID was asked on B";
  EXPECT_EQ(AnswerFromRecord(plan.answersByPort["B"], "ID")->pieces, std::vector<std::string>{"METER B\r\n"});
}

TEST(ReplayRecordedSessionTest, UnreadableOrDamagedFilesLeaveTheSimulatorAlone) {
  ScratchFolder scratch;
  InstrumentSimulator sim;
  try {
    ReplayRecordedSession(sim, scratch.Path("missing.rec"));
    ADD_FAILURE() << "a missing file was accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 53);
    EXPECT_EQ(e.Source(), "InstrumentSimulator - Replay");
  }
  WriteFileBytes(scratch.Path("damaged.rec"), std::string(kRecordHeading) + "\nP 1 0D\nP 2 zz\n");
  EXPECT_THROW(ReplayRecordedSession(sim, scratch.Path("damaged.rec")), Error);
  EXPECT_THROW(sim.Instrument(0), Error) << "no instrument was added";
}

}  // namespace
}  // namespace kivocom
