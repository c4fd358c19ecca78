// Placeholder until the termios line lands: the platform control cannot be created yet.
#include "kivocom/error.h"
#include "kivocom/serial_control.h"

namespace kivocom {
std::shared_ptr<SerialControl> CreatePlatformSerialControl() {
  throw Error(kErrDeviceNotOpen, "SerialControl - Create", "No serial line on this platform yet.");
}
}  // namespace kivocom
