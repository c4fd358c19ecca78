// SPDX-License-Identifier: MIT
// Windows has no pseudo-terminals for a program to open in place of its port: the spy needs a
// POSIX system (Windows programs are spied on under Wine, with their COM port mapped to the spy).
#include "../exit_codes.h"
#include "../spy_relay.h"

namespace kivotool {

bool RunSpyRelay(const std::string&, const SpyLine&, SpyObserver&) {
  throw ToolFailure(kExitPortError,
                    "spy needs a POSIX system (Linux, macOS): it gives the program a pseudo-terminal in place of its "
                    "port; run Windows programs under Wine there, with their COM port mapped to the spy");
}

}  // namespace kivotool
