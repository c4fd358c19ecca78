// SPDX-License-Identifier: MIT
// The pure parts of network ports: reading device paths, the Telnet stream reader, option
// negotiation and the COM-port requests and replies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/network/com_port_option.h"
#include "platform/network/network_address.h"
#include "platform/network/network_line_text.h"
#include "platform/network/telnet_options.h"
#include "platform/network/telnet_reader.h"

namespace kivocom {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}

struct AddressRow {
  const char* name;
  const char* path;
  bool valid;
  bool telnet;
  const char* host;
  const char* service;
};

class NetworkAddressTest : public ::testing::TestWithParam<AddressRow> {};

TEST_P(NetworkAddressTest, ReadsThePath) {
  const AddressRow& row = GetParam();
  std::string problem;
  const auto address = ReadNetworkAddress(row.path, problem);
  ASSERT_EQ(address.has_value(), row.valid) << problem;
  EXPECT_TRUE(IsNetworkDevice(row.path));
  if (!row.valid) {
    EXPECT_FALSE(problem.empty());
    return;
  }
  EXPECT_EQ(address->telnet, row.telnet);
  EXPECT_EQ(address->host, row.host);
  EXPECT_EQ(address->service, row.service);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, NetworkAddressTest,
    ::testing::Values(AddressRow{"Ipv4", "rfc2217://127.0.0.1:7000", true, true, "127.0.0.1", "7000"},
                      AddressRow{"Name", "tcp://lab-box.example:2001/", true, false, "lab-box.example", "2001"},
                      AddressRow{"Ipv6", "RFC2217://[::1]:7000", true, true, "::1", "7000"},
                      AddressRow{"NoPort", "tcp://127.0.0.1", false, false, "", ""},
                      AddressRow{"BareIpv6", "tcp://::1:7000", false, false, "", ""},
                      AddressRow{"PortZero", "tcp://host:0", false, false, "", ""},
                      AddressRow{"PortTooHigh", "tcp://host:65536", false, false, "", ""},
                      AddressRow{"NoHost", "rfc2217://:7000", false, false, "", ""},
                      AddressRow{"UnclosedBracket", "rfc2217://[::1:7000", false, false, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NetworkAddress, LocalDevicesAreNotNetworkPorts) {
  EXPECT_FALSE(IsNetworkDevice("/dev/ttyUSB0"));
  EXPECT_FALSE(IsNetworkDevice("tcp:/host:1"));
  EXPECT_TRUE(IsPlainTcpDevice("TCP://host:1"));
  EXPECT_FALSE(IsPlainTcpDevice("rfc2217://host:1"));
}

// A stream of data, negotiations, a COM-port reply with a doubled 0xFF and a notification, fed
// whole and cut at every place: the reader gives the same data and commands each way.
TEST(TelnetReader, KeepsItsPlaceAcrossReads) {
  // Appended piece by piece: g++ 12 at -O3 misreads a chain of "text" + string as overlapping copies.
  std::string stream = "A";
  for (const std::string& piece : {Bytes({255, 255}), std::string("B"), Bytes({255, 251, 1}), std::string("C"),
                                   Bytes({255, 250, 44, 101, 0, 0, 255, 255, 255, 240}), std::string("D"),
                                   Bytes({255, 250, 44, 107, 48, 255, 240, 255, 241}), std::string("E")})
    stream += piece;
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    SCOPED_TRACE(cut);
    TelnetReader reader;
    std::string data;
    std::vector<TelnetCommand> commands;
    reader.Feed(stream.substr(0, cut), data, commands);
    reader.Feed(stream.substr(cut), data, commands);
    EXPECT_EQ(data, "A\xff" "BCDE");
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].verb, telnet::kWill);
    EXPECT_EQ(commands[0].option, telnet::kEcho);
    EXPECT_EQ(commands[1].verb, telnet::kSb);
    EXPECT_EQ(commands[1].payload, Bytes({101, 0, 0, 255}));
    EXPECT_EQ(commands[2].payload, Bytes({107, 48}));
  }
}

TEST(TelnetReader, AnEndlessSubnegotiationStaysBounded) {
  TelnetReader reader;
  std::string data;
  std::vector<TelnetCommand> commands;
  reader.Feed(Bytes({255, 250, 44}) + std::string(10000, 'x') + Bytes({255, 240}) + "Z", data, commands);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].payload.size(), TelnetReader::kLongestPayload);
  EXPECT_EQ(data, "Z");
}

// What ser2net opens with, answered: echo refused, binary and suppress-go-ahead (asked for by
// this side) agreed without a second acknowledgement, an unknown option refused.
TEST(TelnetOptions, AnswersWithoutReacknowledging) {
  TelnetOptions options;
  EXPECT_EQ(options.Opening(), Bytes({255, 251, 44, 255, 251, 0, 255, 251, 3, 255, 253, 0, 255, 253, 3}));
  EXPECT_EQ(options.Answer(telnet::kWill, telnet::kSuppressGoAhead), "");
  EXPECT_EQ(options.Answer(telnet::kDo, telnet::kSuppressGoAhead), "");
  EXPECT_EQ(options.Answer(telnet::kWill, telnet::kEcho), Bytes({255, 254, 1}));
  EXPECT_EQ(options.Answer(telnet::kDont, telnet::kEcho), "");
  EXPECT_FALSE(options.ComPortAccepted());
  EXPECT_EQ(options.Answer(telnet::kDo, telnet::kComPort), "");
  EXPECT_TRUE(options.ComPortAccepted());
  EXPECT_EQ(options.Answer(telnet::kDo, telnet::kSuppressGoAhead), "") << "already on";
  EXPECT_EQ(options.Answer(telnet::kDo, 24), Bytes({255, 252, 24}));
  EXPECT_EQ(options.Answer(telnet::kDo, telnet::kBinary), "") << "asked for: agreed without an answer";
  EXPECT_EQ(options.Answer(telnet::kDont, telnet::kBinary), Bytes({255, 252, 0})) << "was on: acknowledged";
  EXPECT_EQ(options.Answer(telnet::kDont, telnet::kBinary), "") << "already off";
  EXPECT_EQ(options.Answer(telnet::kDo, telnet::kBinary), Bytes({255, 251, 0})) << "asked again: agreed";
  EXPECT_FALSE(options.ComPortRefused());
  EXPECT_EQ(options.Answer(telnet::kDont, telnet::kComPort), Bytes({255, 252, 44}));
  EXPECT_TRUE(options.ComPortRefused());
}

TEST(ComPortOption, SettingsBecomeRequestsInOrder) {
  LineSettings settings;
  settings.baud = 921600;
  settings.parity = 'M';
  settings.dataBits = 7;
  settings.stopBits = StopBits::OneAndHalf;
  std::string bytes;
  for (const ComPortRequest& request : SettingsRequests(settings)) bytes += ComPortBytes(request);
  EXPECT_EQ(bytes, Bytes({255, 250, 44, 1, 0, 14, 16, 0, 255, 240,  // 921600
                          255, 250, 44, 2, 7, 255, 240, 255, 250, 44, 3, 4, 255, 240, 255, 250, 44, 4, 3, 255,
                          240, 255, 250, 44, 5, 1, 255, 240}));
  EXPECT_EQ(ComPortBytes({comport::kSetBaudRate, Bytes({0, 0, 255, 1}), ""}),
            Bytes({255, 250, 44, 1, 0, 0, 255, 255, 1, 255, 240}))
      << "0xFF doubled";
  EXPECT_EQ(ComPortBytes(ModemLineRequest("RTS", false)), Bytes({255, 250, 44, 5, 12, 255, 240}));
}

TEST(ComPortOption, RepliesAreToldFromNotifications) {
  const auto baud = ReadComPortReply(Bytes({101, 0, 0, 37, 128}));
  ASSERT_TRUE(baud.has_value());
  EXPECT_EQ(baud->command, comport::kSetBaudRate);
  EXPECT_EQ(ReplyValueText(baud->command, baud->value), "the rate 9600");
  EXPECT_EQ(ReplyValueText(comport::kSetParity, Bytes({4})), "parity MARK");
  for (const std::string& notification : {Bytes({106, 0}), Bytes({107, 48}), Bytes({108}), Bytes({109}), Bytes({3, 1}),
                                          Bytes({})})
    EXPECT_FALSE(ReadComPortReply(notification).has_value());
}

TEST(NetworkLineText, TheServersLastLineIsTheReason) {
  EXPECT_EQ(ServerClosedText("+0023.45\r\nPort already in use\r\n"),
            "the server closed the connection: \"Port already in use\"");
  EXPECT_EQ(ServerClosedText(Bytes({0, 255})), "the server closed the connection");
  EXPECT_TRUE(SaysInUse("Port Already IN USE"));
}

TEST(NetworkLineText, OnlyATelnetNegotiationOpeningTheConnectionMarksATelnetServer) {
  EXPECT_TRUE(OpensTelnetNegotiation("\xff\xfb\x01"));   // IAC WILL ECHO, as a Telnet server greets
  EXPECT_TRUE(OpensTelnetNegotiation("\xff\xfd\x2c"));   // IAC DO COM-PORT-OPTION
  EXPECT_TRUE(OpensTelnetNegotiation("\xff\xfa\x2c"));   // IAC SB
  EXPECT_FALSE(OpensTelnetNegotiation("\xff\xff"));       // a doubled 0xFF: data
  EXPECT_FALSE(OpensTelnetNegotiation("\xff"));            // one byte tells nothing
  EXPECT_FALSE(OpensTelnetNegotiation("+0023.45\r\n"));
  EXPECT_EQ(TelnetOnPlainLineText("COM3 (tcp://lab:7000)", "tcp://lab:7000"),
            "COM3 (tcp://lab:7000) cannot be used as a plain TCP port: its server speaks Telnet (it opened with a "
            "Telnet negotiation). Map the port as rfc2217://lab:7000.");
}

}  // namespace
}  // namespace kivocom
