// SPDX-License-Identifier: MIT
// A system without message boxes: the library's boxes go to standard error.
#include "platform/system_services.h"

namespace kivocom {

std::shared_ptr<UserMessages> CreateSystemUserMessages() { return std::make_shared<StderrUserMessages>(); }

}  // namespace kivocom
