// SPDX-License-Identifier: MIT
// A system without windows: a download shows the progress bar on the terminal.
#include "platform/system_services.h"

namespace kivocom {

std::unique_ptr<ProgressWindow> CreateSystemProgressWindow() { return CreateTerminalProgressWindow(); }

}  // namespace kivocom
