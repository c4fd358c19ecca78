// SPDX-License-Identifier: MIT
// Waiting for the transmit buffer to empty, bounded so that a line held by flow control or a
// stuck driver raises a clear error instead of hanging the caller.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "kivocom/serial_control.h"

namespace kivocom {

// Blocks until the control's OutBufferCount reads 0. The wait is bounded by twice the time
// `bytes` need at `baudName` (10 bit times each) plus one second; past that it raises
// kErrDrainTimeout with `source`.
void WaitForTransmitDrain(SerialControl& control, const std::string& baudName, std::size_t bytes,
                          std::string_view source);

}  // namespace kivocom
