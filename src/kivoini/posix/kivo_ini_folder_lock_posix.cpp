// SPDX-License-Identifier: MIT
// Locking a settings file's folder with flock, with a bounded wait.
#include "kivoini/posix/kivo_ini_folder_lock_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "kivocom/kivo_ini_file.h"
#include "kivoini/posix/kivo_ini_file_errors_posix.h"

namespace kivocom {
namespace {

constexpr std::chrono::milliseconds kLockPollInterval{2};

}  // namespace

int FileDescriptor::Close() {
  if (fd_ < 0) return 0;
  const int result = close(fd_);
  fd_ = -1;
  // After EINTR Linux has released the descriptor anyway; writers flush with fsync before closing.
  return (result != 0 && errno == EINTR) ? 0 : result;
}

FolderLock::FolderLock(const std::string& folder, std::chrono::milliseconds wait,
                       const std::string& path, const std::string& source)
    : folder_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (!folder_) RaiseSaveError(errno, path, source);
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (flock(folder_.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return;  // ENOLCK, EOPNOTSUPP...: the file system keeps no locks
    if (std::chrono::steady_clock::now() >= deadline)
      RaiseSaveError(kErrIniFileAccess, path, "another program kept its folder locked", source);
    std::this_thread::sleep_for(kLockPollInterval);
  }
}

void FolderLock::SyncEntries() const { fsync(folder_.Get()); }

}  // namespace kivocom
