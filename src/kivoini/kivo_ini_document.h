// SPDX-License-Identifier: MIT
// The text of a settings file, line by line: finding the value of a key in a section, and
// changing or adding one value while every other byte of the text stays as it was.
//
// Lines: "[Section]" headers (text after the "]" is ignored), "key=value" entries, comment lines
// starting with ";" or "#", blank lines, and anything else, which is kept but never matched.
// Section and key names match without regard to ASCII case; blanks (space, tab) around names and
// values are ignored. A line ends at LF; a CR before the LF belongs to the line end. Entries
// before the first header belong to no section. A UTF-8 byte-order mark at the start is skipped.
// These functions are pure and accept any bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kivocom {

// The value of the first entry named `key` in any section named `section`, trimmed of blanks, as
// a view into `text`; nullopt when there is none.
std::optional<std::string_view> FindIniValue(std::string_view text, std::string_view section,
                                             std::string_view key);

// `text` with the value of `key` in `section` set to `value` (trimmed of blanks). The first such
// entry gets the new value in place of its old one; a missing key is added after the last entry of
// the first section of that name; a missing section is added at the end. New lines take the line
// end of the text's first line (LF in a text without one). The names must pass the checks below.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

// Why `section` cannot name a section ("" when it can): it is blank, or holds "]", CR, LF or NUL.
std::string IniSectionProblem(std::string_view section);
// Why `key` cannot name an entry ("" when it can): it is blank, holds "=", CR, LF or NUL, or
// starts with "[", ";" or "#".
std::string IniKeyProblem(std::string_view key);
// Why `value` cannot be stored ("" when it can): it holds CR, LF or NUL.
std::string IniValueProblem(std::string_view value);

// `text` without the blanks (spaces and tabs) at either end.
std::string_view TrimIniBlanks(std::string_view text);

}  // namespace kivocom
