// SPDX-License-Identifier: MIT
// The process environment on Windows: _putenv_s (an empty value removes the variable).
#include <cstdlib>

#include "kivocom/error.h"
#include "platform/environment.h"

namespace kivocom {

void SetEnvironmentValue(const std::string& name, const std::string& value) {
  if (_putenv_s(name.c_str(), value.c_str()) != 0)
    throw Error(7, "Environment - " + name, "The environment value could not be stored.");
}

}  // namespace kivocom
