// SPDX-License-Identifier: MIT
// The environment through the C runtime, which also changes the process's own block, so both
// getenv and GetEnvironmentVariable see the change. An empty value removes a variable there.
#include <stdlib.h>

#include "support/environment.h"

namespace kivocom {

void SetEnvironment(const std::string& name, const std::string& value) { _putenv_s(name.c_str(), value.c_str()); }

void UnsetEnvironment(const std::string& name) { _putenv_s(name.c_str(), ""); }

}  // namespace kivocom
