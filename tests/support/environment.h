// SPDX-License-Identifier: MIT
// Setting and removing this process's environment variables, as the library reads them.
#pragma once

#include <string>

namespace kivocom {

void SetEnvironment(const std::string& name, const std::string& value);
void UnsetEnvironment(const std::string& name);

}  // namespace kivocom
