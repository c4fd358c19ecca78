// SPDX-License-Identifier: MIT
// Converting settings-file texts to and from Booleans and integers.
#include "kivoini/kivo_ini_values.h"

#include <charconv>

namespace kivocom {
namespace {

bool SameWord(std::string_view text, std::string_view lowerWord) {
  if (text.size() != lowerWord.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = (text[i] >= 'A' && text[i] <= 'Z') ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (c != lowerWord[i]) return false;
  }
  return true;
}

}  // namespace

std::string FormatIniBoolean(bool value) { return value ? "True" : "False"; }

std::optional<bool> ParseIniBoolean(std::string_view text) {
  if (SameWord(text, "true")) return true;
  if (SameWord(text, "false")) return false;
  const auto number = ParseIniInteger(text, -1, 1);
  if (!number) return std::nullopt;
  return *number != 0;
}

std::optional<int64_t> ParseIniInteger(std::string_view text, int64_t min, int64_t max) {
  // from_chars takes a "-" but not a "+"; a second sign after the "+" must still be refused.
  if (text.starts_with('+')) {
    text.remove_prefix(1);
    if (text.starts_with('-')) return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc{} || stop != end || value < min || value > max)
    return std::nullopt;
  return value;
}

}  // namespace kivocom
