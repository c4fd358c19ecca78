// SPDX-License-Identifier: MIT
#include "ports_folder_notes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "kivocom/port_devices.h"
#include "visible_text.h"

namespace kivotool {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kShown = 40;

fs::path PortsFile(int32_t number) { return fs::path(kivocom::PortsFolder()) / ("com" + std::to_string(number)); }

bool IsText(const std::string& line) {
  return std::none_of(line.begin(), line.end(), [](unsigned char c) { return (c < 32 && c != '\t' && c != '\r') || c == 127; });
}

}  // namespace

std::string PortsFileProblem(int32_t number) {
  const fs::path file = PortsFile(number);
  std::error_code error;
  if (!fs::is_regular_file(fs::symlink_status(file, error))) return "";
  std::ifstream in(file, std::ios::binary);
  std::string first;
  std::getline(in, first);
  const std::size_t start = first.find_first_not_of(" \t");
  if (!IsText(first))
    return file.string() + " is not text (it begins " + VisibleStart(first, kShown) +
           ") and must hold the device path on its first line";
  if (start != std::string::npos && (first[start] == '#' || first[start] == ';'))
    return file.string() + " begins with the comment line \"" + VisibleStart(first, kShown) +
           "\", and the device path must be on its first line";
  return "";
}

std::vector<std::string> PortsFolderProblems() {
  std::vector<std::string> problems;
  for (int32_t number = 1; number <= 256; ++number)
    if (std::string problem = PortsFileProblem(number); !problem.empty()) problems.push_back(std::move(problem));
  return problems;
}

}  // namespace kivotool
