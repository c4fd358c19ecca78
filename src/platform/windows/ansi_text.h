// SPDX-License-Identifier: MIT
// Texts of the library (bytes of the system's ANSI code page) as the wide texts of the Win32 API.
#pragma once

#include <string>

namespace kivocom {

// `text` read in the system's ANSI code page (CP_ACP).
std::wstring WideFromAnsi(const std::string& text);

}  // namespace kivocom
