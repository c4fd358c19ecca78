// SPDX-License-Identifier: MIT
// A fixture for exchanges on a real line: a simulated instrument on a pseudo-terminal, mapped to
// a COM number, reached through this system's own serial control.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "kivocom/kivocom.h"
#include "kivocom/kivo_ini_file.h"
#include "kivocom/port_devices.h"
#include "kivocom/simulator.h"
#include "support/scratch_folder.h"

namespace kivocom {

class RealLineTest : public ::testing::Test {
 protected:
  static constexpr int32_t kPort = 41;

  RealLineTest() {
    InstallThreadSerialControl(CreatePlatformSerialControl());
    MapPortToDevice(kPort, sim.DevicePath());
    port.port(kPort);
    port.MaxBaudRate(BAUD_921600);
    port.BaudRate(BAUD_115200);
    port.TimeOut(300);
    port.Retries(2);
    sim.SetBaudRate(115200);
  }
  ~RealLineTest() override {
    MapPortToDevice(kPort, "");
    InstallThreadSerialControl(nullptr);
  }

  // Gives `p`'s own switch the model `model`: a port's switch takes its model from settings only.
  void GiveSwitchModel(CCOMPort& p, ESmartSwitchStyle model) {
    const std::string file = scratch.Path("switch.ini");
    std::shared_ptr<IniFile> ini;
    p.WriteToFile(ini, file, "Port");
    CSmartSwitch modelSwitch;
    modelSwitch.Style(model);
    modelSwitch.WriteToFile(ini, file, "Port - SmartSwitch");
    ASSERT_TRUE(p.ReadFromFile(ini, file, "Port"));
  }

  // Milliseconds `action` took on the steady clock.
  template <class Action>
  static int64_t MillisecondsOf(Action&& action) {
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  }

  ScratchFolder scratch;
  InstrumentSimulator sim;
  CCOMPort port;
};

}  // namespace kivocom
