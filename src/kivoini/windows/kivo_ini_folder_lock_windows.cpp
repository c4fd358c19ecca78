// SPDX-License-Identifier: MIT
// Locking a settings file's folder with LockFileEx on a lock file in it, with a bounded wait.
#include "kivoini/windows/kivo_ini_folder_lock_windows.h"

#include <thread>

#include "kivocom/kivo_ini_file.h"
#include "platform/windows/ansi_text.h"
#include "kivoini/windows/kivo_ini_file_errors_windows.h"

namespace kivocom {
namespace {

constexpr std::chrono::milliseconds kLockPollInterval{2};
constexpr const char* kLockFileName = ".kivocom-settings.lock";

std::string LockFilePath(const std::string& folder) {
  const bool separated = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
  return separated ? folder + kLockFileName : folder + "\\" + kLockFileName;
}

}  // namespace

bool FileHandle::Close() {
  if (handle_ == INVALID_HANDLE_VALUE) return true;
  const bool closed = CloseHandle(handle_) != 0;
  handle_ = INVALID_HANDLE_VALUE;
  return closed;
}

// A lock file being deleted by the writer before (delete pending, or still open for the delete)
// refuses opens for a moment; a folder this user may not write to refuses them for good.
bool IsBusy(DWORD code, const std::wstring& path) {
  if (code == ERROR_SHARING_VIOLATION) return true;
  return code == ERROR_ACCESS_DENIED && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

FolderLock::FolderLock(const std::string& folder, std::chrono::milliseconds wait,
                       const std::string& path, const std::string& source)
    : path_(WideFromAnsi(LockFilePath(folder))) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  const auto waitOrGiveUp = [&] {
    if (std::chrono::steady_clock::now() >= deadline)
      RaiseSaveError(kErrIniFileAccess, path, "another program kept its folder locked", source);
    std::this_thread::sleep_for(kLockPollInterval);
  };
  for (;;) {
    lockFile_.Reset(CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!lockFile_) {
      const DWORD code = GetLastError();
      if (!IsBusy(code, path_)) RaiseSaveError(code, path, source);
      waitOrGiveUp();
      continue;
    }
    OVERLAPPED range{};
    if (LockFileEx(lockFile_.Get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range)) return;
    const DWORD code = GetLastError();
    if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING) return;  // the file system keeps no locks
    lockFile_.Close();
    waitOrGiveUp();
  }
}

// Closing releases the lock; the delete then fails harmlessly while another writer has the file open.
FolderLock::~FolderLock() {
  if (!lockFile_) return;
  lockFile_.Close();
  DeleteFileW(path_.c_str());
}

}  // namespace kivocom
