// SPDX-License-Identifier: MIT
// Settings files on POSIX systems: reading one whole, and replacing it through a new file that is
// flushed and renamed over the old one while the folder is locked.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "kivocom/kivo_ini_file.h"
#include "kivoini/kivo_ini_storage.h"
#include "kivoini/posix/kivo_ini_file_errors_posix.h"
#include "kivoini/posix/kivo_ini_folder_lock_posix.h"
#include "kivoini/posix/kivo_ini_link_posix.h"

namespace kivocom {
namespace {

constexpr int kTempNameAttempts = 100;

struct LoadedFile {
  std::string text;
  struct stat info {};
};

constexpr const char* kTooLarge = "it is larger than 64 MiB, too large for a settings file";

std::string ReadAll(int fd, const std::string& path, const std::string& source) {
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) RaiseReadError(errno, path, source);
    if (n == 0) return text;
    if (text.size() + static_cast<std::size_t>(n) > kMaxSettingsFileBytes)
      RaiseReadError(kErrIniFileAccess, path, kTooLarge, source);
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

// The file's bytes and status; nullopt when the file or its folder is missing. O_NONBLOCK keeps
// the open of a FIFO from waiting for a writer; the type check then refuses it.
std::optional<LoadedFile> LoadFile(const std::string& path, const std::string& source) {
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    RaiseReadError(errno, path, source);
  }
  LoadedFile file;
  if (fstat(fd.Get(), &file.info) != 0) RaiseReadError(errno, path, source);
  if (S_ISDIR(file.info.st_mode)) RaiseReadError(kErrIniFileAccess, path, "it is a folder", source);
  if (!S_ISREG(file.info.st_mode))
    RaiseReadError(kErrIniFileAccess, path, "it is not a regular file", source);
  if (static_cast<std::size_t>(file.info.st_size) > kMaxSettingsFileBytes)
    RaiseReadError(kErrIniFileAccess, path, kTooLarge, source);
  file.text = ReadAll(fd.Get(), path, source);
  return file;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Refuses to write into what is not a writable text settings file.
void CheckWritable(const std::string& path, const LoadedFile& file, const std::string& source) {
  if (file.text.find('\0') != std::string::npos)
    RaiseSaveError(kErrIniFileAccess, path, "it holds NUL bytes, so it is not a text settings file",
                   source);
  if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    const int err = errno;
    RaiseSaveError(SettingsFileErrorNumber(err), path,
                   err == EROFS ? "it is on a read-only file system" : "the file is read-only", source);
  }
}

// The new file, written beside the old one; removed again unless it was renamed into place.
class NewFile {
 public:
  NewFile(const std::string& target, const struct stat* old, const std::string& source)
      : target_(target), source_(source) {
    static std::atomic<unsigned> counter{0};
    // Created no looser than the old file (the umask applies); its exact mode follows below.
    const mode_t mode = old ? (old->st_mode & 0777) : 0666;
    for (int attempt = 0; attempt < kTempNameAttempts && !fd_; ++attempt) {
      path_ = FolderOf(target) + "/." + BaseNameOf(target) + ".new-" + std::to_string(getpid()) + "-" +
              std::to_string(counter++);
      fd_.Reset(open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
      if (!fd_ && errno != EEXIST) RaiseSaveError(errno, target_, source_);
    }
    if (!fd_) RaiseSaveError(EEXIST, target_, source_);
    if (old) KeepOwnerAndMode(*old);
  }
  ~NewFile() {
    if (!renamed_) unlink(path_.c_str());
  }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  void Write(const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
      const ssize_t n = write(fd_.Get(), text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) RaiseSaveError(errno, target_, source_);
      done += static_cast<std::size_t>(n);
    }
  }
  void FlushAndClose() {
    while (fsync(fd_.Get()) != 0)
      if (errno != EINTR) RaiseSaveError(errno, target_, source_);
    if (fd_.Close() != 0) RaiseSaveError(errno, target_, source_);
  }
  void RenameOverTarget() {
    if (rename(path_.c_str(), target_.c_str()) != 0) RaiseSaveError(errno, target_, source_);
    renamed_ = true;
  }

 private:
  // Best effort: on a file system without modes the new file keeps the mode it was created with,
  // which is no looser than the old one.
  void KeepOwnerAndMode(const struct stat& old) {
    if (fchmod(fd_.Get(), old.st_mode & 0777) == 0 && fchown(fd_.Get(), old.st_uid, old.st_gid) != 0) {
      // Only root may give a file away: the new file belongs to this user, with the old mode.
    }
  }

  std::string target_, source_, path_;
  FileDescriptor fd_;
  bool renamed_ = false;
};

}  // namespace

std::optional<std::string> LoadSettingsText(const std::string& path, const std::string& source) {
  auto file = LoadFile(path, source);
  if (!file) return std::nullopt;
  return std::move(file->text);
}

void EditSettingsFile(const std::string& path, const std::function<std::string(const std::string&)>& edit,
                      const std::string& source, std::chrono::milliseconds lockWait) {
  // A trusted link is written through, so that the rename replaces its file and keeps the link.
  const std::string target = TrustedSaveTarget(path, source);
  FolderLock lock(FolderOf(target), lockWait, target, source);
  const auto old = LoadFile(target, source);
  if (old) CheckWritable(target, *old, source);
  const std::string text = edit(old ? old->text : std::string());
  if (old && text == old->text) return;
  if (text.size() > kMaxSettingsFileBytes) RaiseSaveError(kErrIniFileAccess, target, kTooLarge, source);
  NewFile file(target, old ? &old->info : nullptr, source);
  file.Write(text);
  file.FlushAndClose();
  file.RenameOverTarget();
  lock.SyncEntries();
}

}  // namespace kivocom
