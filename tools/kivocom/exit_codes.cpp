// SPDX-License-Identifier: MIT
#include "exit_codes.h"

namespace kivotool {

ExitCode ExitFor(kivocom::ECOMError error) {
  switch (error) {
    case kivocom::CE_NONE: return kExitOk;
    case kivocom::CE_TIMEOUT: return kExitTimeout;
    case kivocom::CE_INVALID_DATA: return kExitInvalidData;
    case kivocom::CE_ABORTED: return kExitAborted;
  }
  return kExitAborted;
}

}  // namespace kivotool
