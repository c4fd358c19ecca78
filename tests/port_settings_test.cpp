// SPDX-License-Identifier: MIT
// The port's settings in a settings file, with its switch's: the round trip through a client's
// file, the keys and their order, what reading assigns, the messages, and who keeps the component.
#include <gtest/gtest.h>

#include "kivocom/kivocom.h"
#include "kivocom/kivo_ini_file.h"
#include "support/settings_fixture.h"

namespace kivocom {
namespace {

// The keys a new port writes, in order, with BAUD_NONE and COM_NONE stored as -1.
constexpr const char* kNewPortSection =
    "Version=1.0\nBaudRate=-1\nControllerStyle=0\nPort=-1\nUsesSmartSwitch=False\nAutoClose=True\n"
    "Retries=5\nTimeOut=3000\nStripCRLF=True\nUseIrDADongle=False\nCheckNonAscii=True\n";

class PortSettingsTest : public SettingsFileTest {
 protected:
  // Limits that admit every rate and BAUD_NONE, as a client sets them before reading.
  static void AdmitEveryRate(CCOMPort& port) {
    port.MinBaudRate(BAUD_NONE);
    port.MaxBaudRate(BAUD_921600);
  }
  // Gives the port's own switch `model`: a port's switch takes its model only from settings.
  void GiveSwitchModel(CCOMPort& port, ESmartSwitchStyle model) {
    const std::string setup = scratch.Path("setup.ini");
    port.WriteToFile(none, setup, "Setup");
    auto ini = Component(setup);
    ini->Section("Setup - SmartSwitch");
    ini->WriteInteger("Style", static_cast<int16_t>(model), "");
    port.ReadFromFile(none, setup, "Setup");
    messages->boxes.clear();
  }

  CCOMPort port;
};

TEST_F(PortSettingsTest, NewPortWritesItsKeysInOrderAndItsSwitchSection) {
  port.WriteToFile(none, path);
  EXPECT_EQ(ReadFileBytes(path), std::string("[COMPort]\n") + kNewPortSection +
                                     "\n[COMPort - SmartSwitch]\nVersion=1.0\nNumPorts=8\nStyle=1\n");
  EXPECT_EQ(none, nullptr);
  EXPECT_TRUE(messages->boxes.empty());
}

TEST_F(PortSettingsTest, RoundTripThroughAClientsFileKeepsTheirSectionsByteForByte) {
  const std::string client =
      "; Calibration bench settings\r\n[Display]\r\nColour = Blue\r\n\r\n[Bench]\r\n# COM port of the oven\r\n"
      "Port = 1\r\n\r\n[Units]\r\nTemperature=C\r\n";
  WriteFileBytes(path, client);
  GiveSwitchModel(port, SSS_BT528AP);
  AdmitEveryRate(port);
  port.BaudRate(BAUD_9600);
  port.ControllerStyle(CS_OMEGA);
  port.port(COM_4);
  port.UsesSmartSwitch(true);
  port.AutoClose(false);
  port.Retries(2);
  port.TimeOut(250);
  port.StripCRLF(false);
  port.UseIrDADongle(true);
  port.CheckNonAscii(false);
  port.Debugging(true);

  port.WriteToFile(none, path, "Bench");
  EXPECT_EQ(ReadFileBytes(path),
            "; Calibration bench settings\r\n[Display]\r\nColour = Blue\r\n\r\n[Bench]\r\n# COM port of the oven\r\n"
            "Port = 4\r\nVersion=1.0\r\nBaudRate=6\r\nControllerStyle=1\r\nUsesSmartSwitch=True\r\n"
            "AutoClose=False\r\nRetries=2\r\nTimeOut=250\r\nStripCRLF=False\r\nUseIrDADongle=True\r\n"
            "CheckNonAscii=False\r\n\r\n[Units]\r\nTemperature=C\r\n\r\n[Bench - SmartSwitch]\r\nVersion=1.0\r\n"
            "NumPorts=8\r\nStyle=2\r\n");

  CCOMPort copy;
  copy.MinBaudRate(BAUD_1200);
  copy.MaxBaudRate(BAUD_19200);
  EXPECT_TRUE(copy.ReadFromFile(none, path, "Bench"));
  EXPECT_TRUE(messages->boxes.empty());
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(copy.BaudRate(), BAUD_9600);
  EXPECT_EQ(copy.ControllerStyle(), CS_OMEGA);
  EXPECT_EQ(copy.Parity(), PARITY_EVEN) << "line settings follow the style";
  EXPECT_EQ(copy.DataBits(), DATA_7BITS);
  EXPECT_EQ(copy.port(), COM_4);
  EXPECT_TRUE(copy.UsesSmartSwitch());
  EXPECT_FALSE(copy.AutoClose());
  EXPECT_EQ(copy.Retries(), 2);
  EXPECT_EQ(copy.TimeOut(), 250);
  EXPECT_FALSE(copy.StripCRLF());
  EXPECT_TRUE(copy.UseIrDADongle());
  EXPECT_FALSE(copy.CheckNonAscii());
  EXPECT_FALSE(copy.Debugging()) << "not stored";
  EXPECT_EQ(copy.MinBaudRate(), BAUD_1200) << "the client's limits stay";
  EXPECT_EQ(copy.MaxBaudRate(), BAUD_19200);

  const std::string again = scratch.Path("again.ini");
  copy.WriteToFile(none, again, "Bench");
  EXPECT_NE(ReadFileBytes(again).find("[Bench - SmartSwitch]\nVersion=1.0\nNumPorts=8\nStyle=2\n"),
            std::string::npos)
      << "the switch model came back too";
}

TEST_F(PortSettingsTest, SwitchSectionFollowsThePortsSectionName) {
  port.WriteToFile(none, path, "Probe");
  auto ini = Component(path);
  std::shared_ptr<IniFile> own = ini;
  int16_t style = -1;
  ini->Section("Probe - SmartSwitch");
  EXPECT_TRUE(ini->ReadInteger("Style", style));

  port.WriteToFile(own, scratch.Path("ignored.ini"), "Probe");
  EXPECT_EQ(own, ini) << "a caller's component stays with the caller";
  EXPECT_EQ(ini->Section(), "Probe - SmartSwitch");
  EXPECT_TRUE(port.ReadFromFile(own, scratch.Path("ignored.ini"), "Probe"));
  EXPECT_EQ(ini->Section(), "Probe - SmartSwitch");
  EXPECT_EQ(FolderListing(scratch.Folder()), "client.ini ");
}

TEST_F(PortSettingsTest, StoredRateOutsideTheLimitsStopsTheReadWithTheSettersError) {
  WriteFileBytes(path, std::string("[COMPort]\n") +
                           "BaudRate=6\nControllerStyle=1\nPort=3\nAutoClose=False\n"
                           "[COMPort - SmartSwitch]\nNumPorts=4\nStyle=0\n");
  EXPECT_FALSE(port.ReadFromFile(none, path));  // a new port: both limits BAUD_NONE
  ASSERT_EQ(messages->boxes.size(), 1u);
  EXPECT_EQ(Prompt(),
            "An error occurred while attempting to read settings.\r\rError: -2147221450 - Baud rate not "
            "supported.\r(CCOMPort - Let BaudRate)");
  EXPECT_EQ(messages->boxes[0].flags, 0x10);
  EXPECT_EQ(port.BaudRate(), BAUD_NONE);
  EXPECT_EQ(port.ControllerStyle(), CS_KIVO) << "nothing after the failed setter is assigned";
  EXPECT_EQ(port.port(), COM_NONE);
  EXPECT_TRUE(port.AutoClose());
  EXPECT_EQ(none, nullptr);
}

TEST_F(PortSettingsTest, MissingSwitchSectionShowsTheMessageTwiceAfterAssigningEverything) {
  WriteFileBytes(path, std::string("[COMPort]\n") + kNewPortSection);
  AdmitEveryRate(port);
  port.BaudRate(BAUD_9600);
  port.AutoClose(false);
  EXPECT_FALSE(port.ReadFromFile(none, path));
  EXPECT_EQ(port.BaudRate(), BAUD_NONE);
  EXPECT_TRUE(port.AutoClose());
  ASSERT_EQ(messages->boxes.size(), 2u);
  EXPECT_EQ(Prompt(0), kMissingKeysPrompt);
  EXPECT_EQ(Prompt(1), kMissingKeysPrompt);
}

TEST_F(PortSettingsTest, MissingKeyStillCallsItsSetterWithThePreviousKeysValue) {
  AdmitEveryRate(port);
  WriteFileBytes(path, "[COMPort]\nBaudRate=6\nControllerStyle=2\nAutoClose=False\nRetries=3\n"
                       "[COMPort - SmartSwitch]\nNumPorts=8\nStyle=1\n");
  EXPECT_FALSE(port.ReadFromFile(none, path));
  EXPECT_EQ(port.port(), 2) << "Port receives the value read for ControllerStyle";
  EXPECT_FALSE(port.UsesSmartSwitch()) << "the Boolean variable starts False";
  EXPECT_FALSE(port.StripCRLF()) << "and then keeps AutoClose's value";
  EXPECT_EQ(port.TimeOut(), 0) << "the 32-bit variable starts at 0";
  EXPECT_EQ(messages->boxes.size(), 1u) << "the switch section was complete";

  WriteFileBytes(path, "[COMPort]\nBaudRate=0\n[COMPort - SmartSwitch]\nNumPorts=8\nStyle=1\n");
  EXPECT_FALSE(port.ReadFromFile(none, path));
  EXPECT_EQ(port.ControllerStyle(), CS_KIVO);
  EXPECT_EQ(port.port(), 0) << "0 when ControllerStyle was missing too and BaudRate read 0";
}

TEST_F(PortSettingsTest, FailureMidWriteKeepsTheKeysBeforeItAndShowsTheError) {
  auto failing = std::make_shared<FailingIniFile>("Retries");
  failing->FileName(path);
  std::shared_ptr<IniFile> ini = failing;
  port.WriteToFile(ini, "", "COMPort");
  EXPECT_EQ(ReadFileBytes(path), "[COMPort]\nVersion=1.0\nBaudRate=-1\nControllerStyle=0\nPort=-1\n"
                                 "UsesSmartSwitch=False\nAutoClose=True\n");
  ASSERT_EQ(messages->boxes.size(), 1u) << "the switch's write is skipped with the rest";
  EXPECT_EQ(Prompt(),
            "An error occurred while attempting to write settings.\r\rError: 61 - No space left on device."
            "\r(KivoINIFile - Write)");
  EXPECT_EQ(ini, failing);
}

TEST_F(PortSettingsTest, PortNumberOutsideSixteenBitsIsAWriteFailure) {
  port.port(70000);
  port.WriteToFile(none, path);
  EXPECT_EQ(ReadFileBytes(path), "[COMPort]\nVersion=1.0\nBaudRate=-1\nControllerStyle=0\n");
  EXPECT_EQ(Prompt(),
            "An error occurred while attempting to write settings.\r\rError: 6 - Overflow: 70000 does not fit "
            "a 16-bit integer.\r(CCOMPort - WriteToFile)");
  EXPECT_EQ(none, nullptr);
}

}  // namespace
}  // namespace kivocom
