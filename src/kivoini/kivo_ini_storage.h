// SPDX-License-Identifier: MIT
// Reading a settings file whole, and replacing it in one step under a lock. The platform files
// (posix/kivo_ini_storage_posix.cpp, windows/kivo_ini_storage_windows.cpp) implement these; errors are kivocom::Error with the
// file-error numbers of kivocom/kivo_ini_file.h and `source` as their source.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace kivocom {

// The largest settings file read or written; a larger one is refused rather than loaded whole.
inline constexpr std::size_t kMaxSettingsFileBytes = 64u << 20;
// How long a write waits for another program's write in the same folder to finish.
inline constexpr std::chrono::milliseconds kSettingsLockWait{10000};

// The bytes of the file at `path`; nullopt when it (or its folder) does not exist. Raises for a
// folder, a device or other file that is not a regular file, no permission, or a file too large.
std::optional<std::string> LoadSettingsText(const std::string& path, const std::string& source);

// Replaces the file at `path` by `edit(current text)` ("" for a missing file): locks the folder
// (waiting at most `lockWait`), reads, edits, writes a new file beside it, flushes it to disk
// and renames it over the old one, keeping the old file's permissions. Nothing is written when the
// edit changes nothing. Raises, leaving the old file as it was, on any failure, and for a file that
// holds NUL bytes or is read-only.
void EditSettingsFile(const std::string& path, const std::function<std::string(const std::string&)>& edit,
                      const std::string& source, std::chrono::milliseconds lockWait = kSettingsLockWait);

}  // namespace kivocom
