// SPDX-License-Identifier: MIT
#include "kivocom/version.h"

namespace kivocom {

const char* Version() { return KIVOCOM_VERSION_STRING; }

}  // namespace kivocom
