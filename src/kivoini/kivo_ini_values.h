// SPDX-License-Identifier: MIT
// The text form of the typed values in a settings file. Integers are plain decimal with an
// optional sign; Booleans are written "True" or "False" and read tolerantly. A text that is not a
// valid value of the asked type, or lies outside its range, gives nullopt, never a wrong number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivocom {

// "True" or "False".
std::string FormatIniBoolean(bool value);
// True for "True" (any case), -1 or 1; False for "False" (any case) or 0; nullopt otherwise.
std::optional<bool> ParseIniBoolean(std::string_view text);
// The decimal integer `text` (optional "+" or "-", then digits) when it lies in [min, max].
std::optional<int64_t> ParseIniInteger(std::string_view text, int64_t min, int64_t max);

}  // namespace kivocom
