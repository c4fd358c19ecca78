// SPDX-License-Identifier: MIT
// The process environment, written: each system's platform folder defines it.
#pragma once

#include <string>

namespace kivocom {

// Sets the process's environment variable `name` to `value`; an empty value removes it.
// Raises kivocom::Error 7 when the system cannot store it.
void SetEnvironmentValue(const std::string& name, const std::string& value);

}  // namespace kivocom
