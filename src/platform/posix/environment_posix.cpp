// SPDX-License-Identifier: MIT
// The process environment on POSIX systems: setenv and unsetenv.
#include <cstdlib>

#include "kivocom/error.h"
#include "platform/environment.h"

namespace kivocom {

void SetEnvironmentValue(const std::string& name, const std::string& value) {
  const int result = value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1);
  if (result != 0) throw Error(7, "Environment - " + name, "The environment value could not be stored.");
}

}  // namespace kivocom
