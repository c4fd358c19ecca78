// SPDX-License-Identifier: MIT
// Fuzzes the settings-file text. Input: three lines naming a section, a key and a value, then the
// file's bytes. Finding and parsing must accept anything; setting a value the file can hold must
// make that value readable and change nothing but one stretch of the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "kivoini/kivo_ini_document.h"
#include "kivoini/kivo_ini_values.h"

namespace {

using kivocom::FindIniValue;
using kivocom::SetIniValue;

std::string_view TakeLine(std::string_view& input) {
  const std::size_t lf = input.find('\n');
  const std::string_view line = input.substr(0, lf);
  input = lf == std::string_view::npos ? std::string_view() : input.substr(lf + 1);
  return line;
}

void Require(bool condition) {
  if (!condition) std::abort();
}

void ParseEverywhichWay(std::string_view text) {
  kivocom::ParseIniBoolean(text);
  kivocom::ParseIniInteger(text, INT16_MIN, INT16_MAX);
  kivocom::ParseIniInteger(text, INT32_MIN, INT32_MAX);
}

// `after` must be `before` with one stretch of at most `replaced` bytes replaced.
void RequireOneChange(std::string_view before, std::string_view after, std::size_t replaced) {
  std::size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
    ++suffix;
  Require(prefix + suffix + replaced >= before.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string_view section = TakeLine(input);
  const std::string_view key = TakeLine(input);
  const std::string_view value = TakeLine(input);
  const std::string_view text = input;

  const auto found = FindIniValue(text, section, key);
  if (found) ParseEverywhichWay(*found);
  ParseEverywhichWay(value);
  if (!kivocom::IniSectionProblem(section).empty() || !kivocom::IniKeyProblem(key).empty() ||
      !kivocom::IniValueProblem(value).empty())
    return 0;

  const std::string after = SetIniValue(text, section, key, value);
  const auto again = FindIniValue(after, section, key);
  Require(again && *again == kivocom::TrimIniBlanks(value));
  RequireOneChange(text, after, found ? found->size() : 0);
  Require(SetIniValue(after, section, key, value) == after);
  return 0;
}
