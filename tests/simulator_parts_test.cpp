// SPDX-License-Identifier: MIT
// The instrument simulator's frame decoding, command cutting, reply scheduling and stored
// readings, tested in place.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "kivocom/simulator.h"
#include "instruments/command_assembler.h"
#include "instruments/omega_frame.h"
#include "instruments/reply_schedule.h"
#include "instruments/switch_decoder.h"

namespace kivocom {
namespace {

using namespace std::chrono_literals;

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

TEST(StoredReadingsStreamTest, TextReadingsEndCrLfAndBinaryRecordsFollowAFourCharacterHeader) {
  EXPECT_EQ(StoredReadingsStream({"D", 3, false, 0, 0ms}), "+0020.00\r\n+0020.25\r\n+0020.50\r\n");
  const std::string binary = StoredReadingsStream({"D", 3, true, 0, 0ms});
  EXPECT_EQ(binary.size(), 34u);
  EXPECT_EQ(binary.substr(0, 4), "0003");
  EXPECT_EQ(StoredReadingsStream({"D", 0, true, 0, 0ms}), "0000");
}

struct SwitchBytesCase {
  const char* name;
  ESmartSwitchStyle model;
  std::string bytes;
  std::string passedOn;
  std::vector<std::string> connects;  // "" is a release
};

// Shows a row by its name in test listings.
void PrintTo(const SwitchBytesCase& row, std::ostream* os) { *os << row.name; }

class SwitchDecoderTest : public ::testing::TestWithParam<SwitchBytesCase> {};

TEST_P(SwitchDecoderTest, PicksSwitchCommandsOutOfTheStream) {
  SwitchDecoder decoder(GetParam().model);
  std::string passed;
  std::vector<std::string> connects;
  for (char byte : GetParam().bytes) {
    const SwitchDecoder::Step step = decoder.Feed(byte);
    passed += step.passOn;
    if (step.connect) connects.push_back(*step.connect);
  }
  EXPECT_EQ(Hex(passed), Hex(GetParam().passedOn));
  EXPECT_EQ(connects, GetParam().connects);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SwitchDecoderTest,
    ::testing::Values(
        SwitchBytesCase{"Bb4SelectThenTraffic", SSS_BB4PORT, "\x1b\x02" "B\r\rQ\r", "\rQ\r", {"B"}},
        SwitchBytesCase{"Bb4Release", SSS_BB4PORT, "\x1b\x02\x04" "X", "X", {""}},
        SwitchBytesCase{"Bb8ZeroPrefixDropped", SSS_BB8PORT, "\x1b\x02" "03\r", "", {"3"}},
        SwitchBytesCase{"Bb8TwoCharacterName", SSS_BB8PORT, "\x1b\x02" "12\r", "", {"12"}},
        SwitchBytesCase{"Bb8Release", SSS_BB8PORT, "\x1b\x02\x02\x04", "", {""}},
        SwitchBytesCase{"Bt528Select", SSS_BT528AP, "\x14" "005\r", "", {"5"}},
        SwitchBytesCase{"Bt528IgnoresEscape", SSS_BT528AP, "\x1b\x02\x04", "\x1b\x02\x04", {}},
        SwitchBytesCase{"EscapeWithoutStxIsTraffic", SSS_BB4PORT, "\x1bX\r", "\x1bX\r", {}},
        SwitchBytesCase{"SecondEscapeStartsTheCommand", SSS_BB4PORT, "\x1b\x1b\x02\x04", "\x1b", {""}},
        SwitchBytesCase{"OverlongNameIsTraffic", SSS_BB4PORT, "\x1b\x02" "ABCDEFGHIJ", "\x1b\x02" "ABCDEFGHIJ", {}}),
    [](const ::testing::TestParamInfo<SwitchBytesCase>& info) { return std::string(info.param.name); });

struct FrameCase {
  const char* name;
  std::string command;
  std::string address;
  std::optional<OmegaFrame::Kind> kind;  // no value: not for this instrument
  std::string body;
};

// Shows a row by its name in test listings.
void PrintTo(const FrameCase& row, std::ostream* os) { *os << row.name; }

class OmegaFrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(OmegaFrameTest, DecodesFramesForItsOwnAddress) {
  const auto frame = DecodeOmegaFrame(GetParam().command, GetParam().address);
  ASSERT_EQ(frame.has_value(), GetParam().kind.has_value());
  if (!frame) return;
  EXPECT_EQ(frame->kind, *GetParam().kind);
  EXPECT_EQ(frame->body, GetParam().body);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OmegaFrameTest,
    ::testing::Values(FrameCase{"Poll", "\x04" "0011PV\x05", "01", OmegaFrame::Kind::Poll, "PV"},
                      FrameCase{"Set", "\x04" "0011\x02SL100.0\x03\x33", "01", OmegaFrame::Kind::Set, "SL100.0"},
                      FrameCase{"BadCheck", "\x04" "0011\x02SL100.0\x03\x32", "01", OmegaFrame::Kind::BadCheck, "SL100.0"},
                      FrameCase{"MissingCheck", "\x04" "0011\x02SL100.0\x03", "01", OmegaFrame::Kind::BadCheck, "SL100.0"},
                      FrameCase{"NoEnq", "\x04" "0011PV", "01", OmegaFrame::Kind::Malformed, ""},
                      FrameCase{"NoEtx", "\x04" "0011\x02SL1", "01", OmegaFrame::Kind::Malformed, ""},
                      FrameCase{"OneCharacterAddress", "\x04" "55PV\x05", "5", OmegaFrame::Kind::Poll, "PV"},
                      FrameCase{"OtherAddress", "\x04" "0022PV\x05", "01", std::nullopt, ""},
                      FrameCase{"PlainText", "PV", "01", std::nullopt, ""}),
    [](const ::testing::TestParamInfo<FrameCase>& info) { return std::string(info.param.name); });

TEST(CommandAssemblerTest, CutsCommandsAtCarriageReturnKeepingBlockChecks) {
  CommandAssembler assembler;
  std::vector<std::string> commands;
  const std::string stream = "\r\nQ1\r" "\x04" "0011\x02" "SP49\x03\x0D\r" "\x04" "0011\x02SL1\x03\rPV\r";
  for (char byte : stream) {
    if (auto command = assembler.Feed(byte)) commands.push_back(*command);
  }
  const std::vector<std::string> expected = {"", "Q1", "\x04" "0011\x02" "SP49\x03\x0D",
                                             "\x04" "0011\x02SL1\x03", "PV"};
  ASSERT_EQ(commands.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(Hex(commands[i]), Hex(expected[i])) << i;
}

TEST(ReplyScheduleTest, PacesBytesQueuesAnswersBehindEachOtherAndCutsAtUnplug) {
  using Clock = ReplySchedule::Clock;
  const Clock::time_point t0 = Clock::now();
  const auto ms = [t0](int n) { return t0 + std::chrono::milliseconds(n); };
  ReplySchedule schedule;
  schedule.Plan({{"AB", "C"}, 100ms, {}, std::nullopt}, {ms(5), 10ms, true, -1});
  schedule.Plan({{"XYZ"}, 0ms, {}, std::nullopt}, {ms(0), 10ms, false, 2});

  const std::vector<std::pair<int, std::string>> expected = {
      {4, ""}, {5, "A"}, {14, ""}, {15, "B"}, {124, ""}, {125, "C"}, {135, "XY"}};
  for (const auto& [at, bytes] : expected) {
    const ReplySchedule::Due due = schedule.TakeDue(ms(at));
    EXPECT_EQ(due.bytes, bytes) << "at " << at << " ms";
    EXPECT_EQ(due.unplug, at == 135) << "at " << at << " ms";
  }
  EXPECT_FALSE(schedule.NextDue().has_value());
}

}  // namespace
}  // namespace kivocom
