// SPDX-License-Identifier: MIT
// Simulated instruments as a line (sim:// devices): the device text, and exchanges through this
// system's own serial control, which must see what a real line shows it.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <thread>

#include "kivocom/kivocom.h"
#include "kivocom/kivo_ini_file.h"
#include "kivocom/port_devices.h"
#include "kivocom/simulator.h"
#include "platform/line/simulated_device.h"
#include "support/scratch_folder.h"

namespace kivocom {
namespace {

struct DeviceRow {
  const char* name;
  const char* text;
  bool wellFormed;
  EControllerStyle style;
  int32_t readings;
};

void PrintTo(const DeviceRow& row, std::ostream* out) { *out << row.text; }

class SimulatedDeviceTextTest : public ::testing::TestWithParam<DeviceRow> {};

TEST_P(SimulatedDeviceTextTest, IsReadOrRefusedWithAReason) {
  const DeviceRow& row = GetParam();
  std::string problem;
  const std::optional<SimulatedDevice> device = ReadSimulatedDevice(row.text, problem);
  ASSERT_EQ(device.has_value(), row.wellFormed) << problem;
  if (!device) {
    EXPECT_FALSE(problem.empty());
    return;
  }
  EXPECT_EQ(device->style, row.style);
  EXPECT_EQ(device->readings, row.readings);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SimulatedDeviceTextTest,
    ::testing::Values(DeviceRow{"StyleAlone", "sim://azonix", true, CS_AZONIX, 20},
                      DeviceRow{"AnyCase", "SIM://Omega?Address=07&READINGS=3", true, CS_OMEGA, 3},
                      DeviceRow{"Everything", "sim://xsys?switch=bt528&instruments=8&readings=0&delay=0", true, CS_XSYS, 0},
                      DeviceRow{"UnknownStyle", "sim://fluke", false, CS_KIVO, 0},
                      DeviceRow{"UnknownOption", "sim://kivo?colour=red", false, CS_KIVO, 0},
                      DeviceRow{"UnknownSwitch", "sim://kivo?switch=bb16", false, CS_KIVO, 0},
                      DeviceRow{"TooManyInstruments", "sim://kivo?switch=bb4&instruments=9", false, CS_KIVO, 0},
                      DeviceRow{"NumberWithTail", "sim://kivo?readings=12x", false, CS_KIVO, 0},
                      DeviceRow{"EmptyOption", "sim://kivo?readings=1&", false, CS_KIVO, 0},
                      DeviceRow{"NoScheme", "/dev/ttyS0", false, CS_KIVO, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimulatedDeviceText, SwitchPlacesNumberedInstrumentsOnItsPorts) {
  std::string problem;
  InstrumentBench bench;
  PlaceInstruments(bench, *ReadSimulatedDevice("sim://kivo?switch=bb4&instruments=3", problem));
  EXPECT_EQ(bench.Instrument(2, "test").replies.at("PV"), "+0026.45");
  EXPECT_THROW(bench.Instrument(3, "test"), Error);
}

class SimulatedLineTest : public ::testing::Test {
 protected:
  static constexpr int32_t kPort = 43;

  SimulatedLineTest() {
    InstallThreadSerialControl(CreatePlatformSerialControl());
    port.port(kPort);
    port.MaxBaudRate(BAUD_921600);
    port.BaudRate(BAUD_115200);
    port.TimeOut(300);
    port.Retries(1);
  }
  ~SimulatedLineTest() override {
    MapPortToDevice(kPort, "");
    InstallThreadSerialControl(nullptr);
  }

  // Each test names devices of its own: the instruments of a device text live as long as the process.
  void Use(const std::string& device) { MapPortToDevice(kPort, device); }
  // The thread's control, open on the test's port.
  std::shared_ptr<SerialControl> OpenControl() {
    std::shared_ptr<SerialControl> control = ThreadSerialControl();
    control->CommPort(kPort);
    control->Settings("115200,N,8,1");
    control->PortOpen(true);
    return control;
  }

  // Gives the port's own switch the model `model`: a port's switch takes its model from settings only.
  void GiveSwitchModel(ESmartSwitchStyle model) {
    const std::string file = scratch.Path("switch.ini");
    std::shared_ptr<IniFile> ini;
    port.WriteToFile(ini, file, "Port");
    CSmartSwitch modelSwitch;
    modelSwitch.Style(model);
    modelSwitch.WriteToFile(ini, file, "Port - SmartSwitch");
    ASSERT_TRUE(port.ReadFromFile(ini, file, "Port"));
  }

  ScratchFolder scratch;
  CCOMPort port;
  ECOMError err = CE_NONE;
};

TEST_F(SimulatedLineTest, AnswersInEveryStyleWithoutEcho) {
  for (const auto& [name, style] : {std::pair{"kivo", CS_KIVO}, std::pair{"omega", CS_OMEGA},
                                    std::pair{"azonix", CS_AZONIX}, std::pair{"xsys", CS_XSYS}}) {
    Use(std::string("sim://") + name + "?address=01");
    port.ControllerStyle(style);
    err = CE_NONE;
    EXPECT_EQ(port.ReadPort(err, "PV", "", "01"), "+0023.45") << name;
    EXPECT_EQ(err, CE_NONE) << name;
  }
}

TEST_F(SimulatedLineTest, OmegaSetFrameIsKeptForTheNextOpening) {
  Use("sim://omega?address=05");
  port.ControllerStyle(CS_OMEGA);
  port.WritePort(err, "SP", "", "05", "100.0");
  EXPECT_EQ(err, CE_NONE);
  // As from a real instrument, the acknowledgement comes after WritePort's last clearing: let it
  // come, so that the next exchange clears it rather than take it as its reply.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(port.ReadPort(err, "SP", "", "05"), "100.0");
  EXPECT_EQ(port.ReadPort(err, "PV", "", "07"), "");  // another address: no answer
  EXPECT_EQ(err, CE_TIMEOUT);
}

TEST_F(SimulatedLineTest, SwitchRoutesEachQueryToItsInstrument) {
  Use("sim://kivo?switch=bb8&instruments=3");
  GiveSwitchModel(SSS_BB8PORT);
  port.UsesSmartSwitch(true);
  EXPECT_EQ(port.ReadPort(err, "PV", "C"), "+0026.45");
  EXPECT_EQ(SimulatedLineHeard(PortDevicePath(kPort)), 
            "\x1b\x02\x02\x04" "\x1b\x02" "0C\r" "\rPV\r" "\x1b\x02\x02\x04");  // release, select, query, release
  EXPECT_EQ(port.ReadPort(err, "PV", "A"), "+0024.45");
  EXPECT_EQ(err, CE_NONE);
}

TEST_F(SimulatedLineTest, DownloadEndsWithTheSilenceAfterTheLastPiece) {
  Use("sim://kivo?readings=6");  // two pieces, five readings and one
  port.TimeOut(1000);
  const std::string data = port.Download(false, err, "DL", "", "", 6);
  EXPECT_EQ(err, CE_NONE);
  EXPECT_EQ(data, StoredReadingsStream(SampleInstrument(CS_KIVO, "", 0, 6, false).download));
}

TEST_F(SimulatedLineTest, AnswerComesOnlyAfterTheCommandAndNothingIsLeftBehind) {
  Use("sim://kivo?readings=0");
  std::shared_ptr<SerialControl> control = OpenControl();
  control->Output("ID\r");
  EXPECT_EQ(control->InBufferCount(), 0);  // the command is still on its way
  ASSERT_TRUE(control->WaitForInput(1000));
  ASSERT_TRUE(control->WaitForDrain(1000));
  std::string reply;
  while (reply.find('\n') == std::string::npos && control->WaitForInput(1000)) reply += control->Input();
  EXPECT_EQ(reply, "KIVO SIMULATED INSTRUMENT 0\r\n");
  EXPECT_EQ(SimulatedLineHeard(PortDevicePath(kPort)), "ID\r");
  EXPECT_FALSE(control->WaitForInput(50));
  control->PortOpen(false);
}

TEST_F(SimulatedLineTest, SecondOpeningIsRefusedAndABadTextIsNamed) {
  Use("sim://kivo?readings=1");
  std::shared_ptr<SerialControl> first = OpenControl();
  const std::string device = PortDevicePath(kPort);
  const int32_t other = kPort + 1;
  MapPortToDevice(other, device);
  auto second = CreatePlatformSerialControl();
  second->CommPort(other);
  try {
    second->PortOpen(true);
    ADD_FAILURE() << "a held simulated device opened twice";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrHardwareNotAvailable);
  }
  first->PortOpen(false);
  EXPECT_NO_THROW(second->PortOpen(true));
  second->PortOpen(false);
  MapPortToDevice(other, "sim://nothing");
  try {
    second->PortOpen(true);
    ADD_FAILURE() << "a malformed simulated device opened";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrDeviceNotOpen);
    EXPECT_NE(std::string(e.Description()).find("nothing"), std::string::npos);
  }
  MapPortToDevice(other, "");
}

}  // namespace
}  // namespace kivocom
