// SPDX-License-Identifier: MIT
// Network ports against a real ser2net on 127.0.0.1 sharing the simulator's pseudo-terminal:
// exchanges through rfc2217:// and tcp:// are byte for byte those of the local line, settings
// land on the device, and a busy port, a dead server or a vanished instrument end in an error,
// never a hang.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <thread>

#include "kivocom/port_devices.h"
#include "platform/network/network_line.h"
#include "support/posix/ser2net_server.h"
#include "support/real_line.h"

namespace kivocom {
namespace {

using std::chrono::milliseconds;

// The device's settings as stty shows them.
std::string DeviceSettings(const std::string& device) {
  FILE* pipe = popen(("stty -a -F " + device + " 2>&1").c_str(), "r");
  std::string text;
  std::array<char, 512> chunk{};
  while (pipe && fgets(chunk.data(), chunk.size(), pipe)) text += chunk.data();
  if (pipe) pclose(pipe);
  return " " + text + " ";
}

bool Shows(const std::string& stty, const std::string& flag) {
  for (const char* around : {" ", ";"})
    if (stty.find(std::string(" ") + flag + around) != std::string::npos) return true;
  return false;
}

class NetworkLineTest : public RealLineTest {
 protected:
  void SetUp() override {
    if (!server.Started()) GTEST_SKIP() << server.Problem();
    // Replies come in well under a millisecond; the margin is for a loaded machine, where a
    // reply cut by the time-out would mix with the retry's and the comparison fail for no fault.
    port.TimeOut(1500);
  }

  // A control straight on the server's port, with short waits for its replies.
  std::unique_ptr<SerialControl> Control(const std::string& address, const std::string& settings = "115200,N,8,1") {
    return CreateNetworkSerialControl(address, kPort, settings, 300);
  }

  SimulatedInstrument Instrument(EControllerStyle style) {
    SimulatedInstrument i;
    i.style = style;
    i.address = "01";
    i.replies["PV"] = "+0023.45";
    return i;
  }

  Ser2netServer server{sim.DevicePath()};
  ECOMError err = CE_NONE;
};

class NetworkLineEveryProtocolTest : public NetworkLineTest, public ::testing::WithParamInterface<bool> {
 protected:
  std::string Address() const { return GetParam() ? server.Rfc2217Address() : server.TcpAddress(); }
};

// Each style's exchange, first on the local line, then through the server: the instrument hears
// the same bytes and the program reads the same reply.
TEST_P(NetworkLineEveryProtocolTest, ExchangesInEveryStyleMatchTheLocalLine) {
  for (const EControllerStyle style : {CS_KIVO, CS_OMEGA, CS_AZONIX, CS_XSYS}) {
    SCOPED_TRACE(style);
    sim.RemoveSmartSwitch();
    const auto id = sim.AddInstrument(Instrument(style));
    port.ControllerStyle(style);
    MapPortToDevice(kPort, sim.DevicePath());
    const std::string localReply = port.ReadPort(err, "PV", "", "01");
    ASSERT_EQ(err, CE_NONE);
    const std::string localBytes = sim.Received();
    sim.ClearReceived();
    MapPortToDevice(kPort, Address());
    const std::string networkReply = port.ReadPort(err, "PV", "", "01");
    EXPECT_EQ(err, CE_NONE) << port.LineError().description;
    EXPECT_EQ(networkReply, localReply);
    EXPECT_EQ(sim.Received(), localBytes);
    sim.ClearReceived();
    sim.ChangeInstrument(id, [](SimulatedInstrument& i) { i.replies.clear(), i.defaultReply.reset(); });
    // The next style's local exchange must have the device to itself.
    ASSERT_TRUE(server.WaitUntilDeviceReleased(std::chrono::seconds(2)));
  }
}

TEST_P(NetworkLineEveryProtocolTest, BytesZeroAndFFTravelBothWays) {
  auto instrument = Instrument(CS_KIVO);
  instrument.defaultReply = std::string("\xff\x00\xff\xff", 4);
  sim.AddInstrument(instrument);
  auto line = Control(Address());
  line->PortOpen(true);
  line->Output(std::string("\x00\xff", 2) + "Q\r");
  ASSERT_TRUE(sim.WaitForReceived(4, milliseconds(2000)));
  EXPECT_EQ(sim.Received(), std::string("\x00\xffQ\r", 4));
  std::string reply;
  while (reply.size() < 6 && line->WaitForInput(2000)) reply += line->Input();
  EXPECT_EQ(reply, std::string("\xff\x00\xff\xff\r\n", 6));
}

INSTANTIATE_TEST_SUITE_P(Protocols, NetworkLineEveryProtocolTest, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Rfc2217" : "Tcp"); });

TEST_F(NetworkLineTest, DownloadAt921600ArrivesWhole) {
  constexpr int32_t kRecords = 92160 / 10;  // a second of line time
  sim.SetBaudRate(921600);
  SimulatedInstrument instrument;
  instrument.download.command = "DL";
  instrument.download.count = kRecords;
  instrument.download.binary = true;
  sim.AddInstrument(instrument);
  MapPortToDevice(kPort, server.Rfc2217Address());
  port.BaudRate(BAUD_921600);
  port.TimeOut(500);
  const std::string data = port.Download(true, err, "DL", "", "", kRecords);
  EXPECT_EQ(err, CE_NONE) << port.LineError().description;
  const std::string expected = StoredReadingsStream(instrument.download);
  ASSERT_EQ(data.size(), expected.size());
  EXPECT_TRUE(data == expected) << "every byte, in order";
}

TEST_F(NetworkLineTest, SettingsLandOnTheDeviceAndRefusalsAreErrors) {
  // A pseudo-terminal keeps the rate and stop bits it is given; Linux holds its character size
  // and parity at 8 and none whatever is asked.
  auto line = Control(server.Rfc2217Address(), "4800,O,7,2");
  line->PortOpen(true);
  std::string stty = DeviceSettings(sim.DevicePath());
  EXPECT_TRUE(Shows(stty, "4800") && Shows(stty, "cstopb")) << stty;
  line->Settings("38400,E,8,1");
  stty = DeviceSettings(sim.DevicePath());
  EXPECT_TRUE(Shows(stty, "38400") && Shows(stty, "-cstopb")) << stty;
  EXPECT_EQ(line->Settings(), "38400,E,8,1");
  // ser2net leaves 1.5 stop bits and the modem lines of a pseudo-terminal unanswered.
  const auto refused = [&](auto&& action) {
    try {
      action();
    } catch (const Error& e) {
      return e.Number();
    }
    return 0;
  };
  EXPECT_EQ(refused([&] { line->Settings("9600,N,5,1.5"); }), kErrCannotSetCommState);
  EXPECT_EQ(line->Settings(), "38400,E,8,1") << "a refused text is not kept";
  EXPECT_EQ(refused([&] { line->DTREnable(true); }), kErrCannotSetCommState);
  EXPECT_TRUE(line->PortOpen());
}

// The exchange after a change of rate opens the held connection again: the server takes the new
// rate, and nothing of the first exchange is read twice.
TEST_F(NetworkLineTest, AConnectionOpenedAgainTakesTheNewSettings) {
  sim.AddInstrument(Instrument(CS_KIVO));
  MapPortToDevice(kPort, server.Rfc2217Address());
  port.AutoClose(false);
  EXPECT_EQ(port.ReadPort(err, "PV"), "+0023.45");
  EXPECT_TRUE(Shows(DeviceSettings(sim.DevicePath()), "115200"));
  port.BaudRate(BAUD_19200);
  EXPECT_EQ(port.ReadPort(err, "PV"), "+0023.45");
  EXPECT_EQ(err, CE_NONE) << port.LineError().description;
  const std::string stty = DeviceSettings(sim.DevicePath());
  EXPECT_TRUE(Shows(stty, "19200")) << stty;
  EXPECT_EQ(sim.Received(), "\rPV\r\rPV\r");
}

// Over tcp:// ser2net's refusal is text on the connection: it must not pass for a reply.
TEST_F(NetworkLineTest, ARefusalOverTcpIsNoReply) {
  sim.AddInstrument(Instrument(CS_KIVO));
  auto first = Control(server.TcpAddress());
  first->PortOpen(true);
  MapPortToDevice(kPort, server.TcpAddress());
  port.TimeOut(300);
  const std::string reply = port.ReadPort(err, "PV");
  EXPECT_NE(err, CE_NONE);
  EXPECT_EQ(reply.find("in use"), std::string::npos) << reply;
}

TEST_F(NetworkLineTest, ASecondClientIsRefusedAsInUse) {
  for (const std::string& address : {server.Rfc2217Address(), server.TcpAddress()}) {
    SCOPED_TRACE(address);
    // The server lets go of the device on its own time after the last client left.
    ASSERT_TRUE(server.WaitUntilDeviceReleased(std::chrono::seconds(2)));
    auto first = Control(address);
    first->PortOpen(true);
    auto second = Control(address);
    try {
      // Over tcp:// the server's refusal comes as bytes, then the end of the connection.
      second->PortOpen(true);
      for (int reads = 0; reads < 10 && second->WaitForInput(2000); ++reads) second->Input();
      ADD_FAILURE() << "the second client was let in";
    } catch (const Error& e) {
      // ser2net writes "Port already in use" and closes at once. When the refused client's own
      // negotiation is still unread there, the close is a reset, which can overtake the text:
      // the client then knows only that the connection was refused.
      if (e.Number() == kErrDeviceNotOpen) {
        EXPECT_NE(e.Description().find("reset"), std::string::npos) << e.Description();
      } else {
        EXPECT_EQ(e.Number(), kErrHardwareNotAvailable) << e.Description();
        EXPECT_NE(e.Description().find("already in use"), std::string::npos) << e.Description();
      }
    }
    first->PortOpen(false);
  }
}

TEST_F(NetworkLineTest, AServerKilledMidExchangeIsALostLine) {
  auto instrument = Instrument(CS_KIVO);
  instrument.behaviour.replyDelay = milliseconds(300);
  sim.AddInstrument(instrument);
  MapPortToDevice(kPort, server.Rfc2217Address());
  port.TimeOut(2000);
  port.Retries(1);
  std::thread killer([&] {
    sim.WaitForReceived("PV\r", milliseconds(2000));
    server.Kill();
  });
  std::string reply;
  EXPECT_LT(MillisecondsOf([&] { reply = port.ReadPort(err, "PV"); }), 1500);
  killer.join();
  EXPECT_EQ(err, CE_TIMEOUT);
  EXPECT_EQ(port.LineError().number, kErrReadingDevice) << port.LineError().description;
  EXPECT_NE(port.LineError().description.find("lost its connection"), std::string::npos)
      << port.LineError().description;
}

TEST_F(NetworkLineTest, AnInstrumentGoneMidReplyEndsWithoutHanging) {
  auto instrument = Instrument(CS_KIVO);
  instrument.behaviour.unplugAfter = 3;
  sim.AddInstrument(instrument);
  MapPortToDevice(kPort, server.Rfc2217Address());
  port.TimeOut(300);
  EXPECT_LT(MillisecondsOf([&] { port.ReadPort(err, "PV"); }), 3000);
  EXPECT_EQ(err, CE_TIMEOUT);
}

TEST_F(NetworkLineTest, UnreachableServersGiveTheOpenErrorWithTheReason) {
  auto refused = Control("rfc2217://localhost:1");
  try {
    refused->PortOpen(true);
    ADD_FAILURE() << "opened";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrDeviceNotOpen);
    EXPECT_NE(e.Description().find("refused"), std::string::npos) << e.Description();
  }
  MapPortToDevice(kPort, "tcp://[::1]");
  EXPECT_THROW(port.WritePort(err, "PV"), Error);
}

}  // namespace
}  // namespace kivocom
