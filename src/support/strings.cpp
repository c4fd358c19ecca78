// SPDX-License-Identifier: MIT
// The string table and the "~" template filler.
#include <array>
#include <utility>

#include "kivocom/support.h"
#include "support/blanks.h"

namespace kivocom {
namespace {

constexpr std::array<std::pair<int32_t, const char*>, 12> kStringTable{{
    {101, "An error occurred while"},
    {102, "Error"},
    {103, "Cannot open COM port ~"},
    {104, "No COM port has been selected."},
    {105, "Invalid COM port."},
    {106, "Baud rate not supported."},
    {107, "Downloading..."},
    {108, "Download cancelled."},
    {109, "attempting to write settings"},
    {110, "attempting to read settings"},
    {111, "Unable to successfully read settings from file."},
    {112, "A system error has occurred"},
}};

// Takes the next value off the "|"-separated list: trimmed when a "|" follows it, else the whole
// remaining list as it is.
std::string TakeNextValue(std::string& remaining) {
  const auto bar = remaining.find('|');
  if (bar == std::string::npos) return std::exchange(remaining, {});
  std::string value = TrimBlanks(remaining.substr(0, bar));
  remaining = TrimBlanks(remaining.substr(bar + 1));
  return value;
}

}  // namespace

std::string LoadResString(int32_t id) {
  for (const auto& [number, text] : kStringTable)
    if (number == id) return text;
  return {};
}

std::string FillTemplate(const std::string& templ, const std::string& values) {
  std::string remainingValues = values;
  std::string result;
  std::size_t pos = 0;
  for (auto tilde = templ.find('~'); tilde != std::string::npos; tilde = templ.find('~', pos)) {
    result.append(templ, pos, tilde - pos);
    result += TakeNextValue(remainingValues);
    pos = tilde + 1;
  }
  result.append(templ, pos);
  return result;
}

}  // namespace kivocom
