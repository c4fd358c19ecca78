// SPDX-License-Identifier: MIT
// Turning the system's error codes for settings-file operations into kivocom::Error, in one place.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace kivocom {

// The settings-file error number (kivocom/kivo_ini_file.h) for the Win32 error `code`.
int32_t SettingsFileErrorNumber(DWORD code);

// Raises "Cannot read settings file "<path>": <reason>." with `number`.
[[noreturn]] void RaiseReadError(int32_t number, const std::string& path, const std::string& reason,
                                 const std::string& source);
// Raises the read error for the Win32 error `code`, with the system's own text as the reason.
[[noreturn]] void RaiseReadError(DWORD code, const std::string& path, const std::string& source);

// Raises "Cannot save settings file "<path>": <reason>; the file was not changed." with `number`.
[[noreturn]] void RaiseSaveError(int32_t number, const std::string& path, const std::string& reason,
                                 const std::string& source);
// Raises the save error for the Win32 error `code`, with the system's own text as the reason.
[[noreturn]] void RaiseSaveError(DWORD code, const std::string& path, const std::string& source);

}  // namespace kivocom
