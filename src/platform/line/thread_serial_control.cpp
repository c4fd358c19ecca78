// SPDX-License-Identifier: MIT
// The per-thread host of the serial control: created by the first port object of a thread and
// kept for the thread, so every port object of the thread shares one line.
#include "kivocom/serial_control.h"

namespace kivocom {
namespace {
thread_local std::shared_ptr<SerialControl> tControl;
}  // namespace

std::shared_ptr<SerialControl> ThreadSerialControl() {
  if (!tControl) tControl = CreatePlatformSerialControl();
  return tControl;
}

void InstallThreadSerialControl(std::shared_ptr<SerialControl> control) {
  tControl = std::move(control);
}

}  // namespace kivocom
