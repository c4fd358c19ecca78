// SPDX-License-Identifier: MIT
// The line server's pure parts: a client's bytes cut into commands, its Telnet and COM-port
// requests answered, and framed commands read back for the port to send.
#include <gtest/gtest.h>

#include "lineserver/client_session.h"
#include "lineserver/framed_command.h"
#include "platform/network/com_port_answer.h"
#include "platform/network/com_port_option.h"

namespace kivocom {
namespace {

const std::string kIac = "\xFF";

LineSettings Line9600() { return LineSettings{}; }

std::string Bytes(std::initializer_list<int> values) {
  std::string text;
  for (const int v : values) text += static_cast<char>(v);
  return text;
}

TEST(ClientSession, PlainClientCommandsAreCutAtCrAndSwitchCommandsTakenOut) {
  ClientSession session(SSS_BB8PORT, Line9600(), 64);
  ClientSession::Heard heard = session.Feed("\rP");
  EXPECT_TRUE(heard.answer.empty());  // a plain client gets no negotiation
  EXPECT_TRUE(heard.commands.empty());
  heard = session.Feed(std::string("V\r\x1B\x02") + "0B\rID\r");
  EXPECT_EQ(heard.commands, (std::vector<std::string>{"PV", "ID"}));
  EXPECT_EQ(session.ToClient("\xFF"), "\xFF");
}

TEST(ClientSession, TelnetClientIsAnsweredAndItsDataUnescaped) {
  ClientSession session(SSS_BB4PORT, Line9600(), 64);
  const std::string will = Bytes({255, 251, 44});  // WILL COM-PORT-OPTION
  ClientSession::Heard heard = session.Feed(will + "A" + kIac + kIac + "\r");
  EXPECT_NE(heard.answer.find(Bytes({255, 253, 44})), std::string::npos);  // DO COM-PORT-OPTION
  EXPECT_EQ(heard.commands, (std::vector<std::string>{"A\xFF"}));
  EXPECT_EQ(session.ToClient("\xFF"), "\xFF\xFF");
  heard = session.Feed(Bytes({255, 253, 1}));  // DO ECHO: refused
  EXPECT_EQ(heard.answer, Bytes({255, 252, 1}));
}

TEST(ClientSession, OverlongCommandRefusesTheClientAndPurgeDropsItsCommands) {
  ClientSession session(SSS_BB4PORT, Line9600(), 8);
  EXPECT_FALSE(session.Feed("12345678").refusal);
  EXPECT_TRUE(session.Feed("9").refusal);
  ClientSession telnet(SSS_BB4PORT, Line9600(), 8);
  const ClientSession::Heard heard = telnet.Feed(Bytes({255, 250, 44, 12, 2, 255, 240}));  // purge transmit
  EXPECT_TRUE(heard.purgeCommands);
  EXPECT_EQ(heard.answer.substr(heard.answer.size() - 7), Bytes({255, 250, 44, 112, 2, 255, 240}));
}

struct AnswerRow {
  const char* name;
  std::string payload;
  std::string answer;  // the answer's payload after the option
  bool refused;
};

TEST(ComPortAnswer, SettingsAreAnsweredWithTheValuesInForce) {
  const AnswerRow rows[] = {
      {"rate asked as in force", Bytes({1, 0, 0, 0x25, 0x80}), Bytes({101, 0, 0, 0x25, 0x80}), false},
      {"other rate refused", Bytes({1, 0, 0, 0x4B, 0}), Bytes({101, 0, 0, 0x25, 0x80}), true},
      {"rate query", Bytes({1, 0, 0, 0, 0}), Bytes({101, 0, 0, 0x25, 0x80}), false},
      {"data size", Bytes({2, 8}), Bytes({102, 8}), false},
      {"parity even refused", Bytes({3, 3}), Bytes({103, 1}), true},
      {"hardware flow refused", Bytes({5, 3}), Bytes({105, 1}), true},
      {"DTR on acknowledged", Bytes({5, 8}), Bytes({105, 8}), false},
  };
  for (const AnswerRow& row : rows) {
    const ComPortAnswer answer = AnswerComPortRequest(row.payload, Line9600(), "kivocom");
    EXPECT_EQ(answer.bytes, Bytes({255, 250, 44}) + row.answer + Bytes({255, 240})) << row.name;
    EXPECT_EQ(!answer.refused.empty(), row.refused) << row.name;
  }
}

struct FrameRow {
  const char* name;
  EControllerStyle style;
  std::string frame;
  bool read;
};

TEST(FramedCommand, OnlyFramesThePortSendsAgainByteForByteAreRead) {
  const std::string poll = "\x04" "0011PV\x05";
  const std::string set = std::string("\x04" "0011\x02SL100.0\x03") + '\x33';
  const FrameRow rows[] = {
      {"kivo command", CS_KIVO, "PV", true},
      {"kivo command with a blank around it", CS_KIVO, "PV ", false},
      {"omega poll", CS_OMEGA, poll, true},
      {"omega set", CS_OMEGA, set, true},
      {"omega set with a wrong check", CS_OMEGA, set.substr(0, set.size() - 1) + "\x34", false},
      {"omega one-character address", CS_OMEGA, "\x04" "55PV\x05", true},
      {"omega garbage", CS_OMEGA, "hello", false},
      {"unknown style", static_cast<EControllerStyle>(9), "PV", false},
  };
  for (const FrameRow& row : rows) EXPECT_EQ(ReadFramedCommand(row.style, row.frame).has_value(), row.read) << row.name;
  const auto read = ReadFramedCommand(CS_OMEGA, poll);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->address, "01");
  EXPECT_EQ(read->cmd, "PV");
}

}  // namespace
}  // namespace kivocom
