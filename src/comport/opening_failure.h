// SPDX-License-Identifier: MIT
// Why the thread's last OpenPort could not open the line. OpenPort raises "Cannot open COM port
// n", as its clients expect; the control's own error, which names the device and the reason, is
// kept here so that an exchange that ends on it can say why.
#pragma once

#include "kivocom/error.h"

namespace kivocom {

// The control's error behind the thread's last failed opening (number 0 before any).
ErrorRecord& LastOpeningFailure();

// The record an exchange ends with when its sending raised `raised` (the OpenPort error): the
// OpenPort number and source with the control's description of the cause, after `context` (what
// happened before, such as the loss of the line) when there is one.
ErrorRecord OpeningFailure(const ErrorRecord& raised, const std::string& context = "");

}  // namespace kivocom
