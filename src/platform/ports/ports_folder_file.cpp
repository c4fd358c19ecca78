// SPDX-License-Identifier: MIT
#include "platform/ports/ports_folder_file.h"

namespace kivocom {

std::string DevicePathInPortsFile(std::string_view content) {
  const std::string_view line = content.substr(0, content.find('\n'));
  const auto first = line.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = line.find_last_not_of(" \t\r");
  return std::string(line.substr(first, last - first + 1));
}

}  // namespace kivocom
