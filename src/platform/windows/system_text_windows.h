// SPDX-License-Identifier: MIT
// Wide texts of the Win32 API as the library's texts (bytes of the ANSI code page), and the
// system's own description of an error code.
#pragma once

#include <windows.h>

#include <string>

namespace kivocom {

// `wide` in the system's ANSI code page (CP_ACP); characters it lacks become its default character.
std::string AnsiFromWide(const std::wstring& wide);

// The system's text for error `code` without its closing period and line break, such as
// "Access denied"; "system error <code>" when the system has none.
std::string SystemErrorText(DWORD code);

}  // namespace kivocom
