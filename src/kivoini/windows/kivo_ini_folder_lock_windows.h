// SPDX-License-Identifier: MIT
// The handles a settings-file write holds: an owned file handle, and the lock that writers hold
// around each read-modify-write of a settings file in one folder.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

namespace kivocom {

// A file handle closed when the object ends.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
  // Closes the handle held so far and holds `handle`.
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }
  // Closes now; false when the close reported an error.
  bool Close();

 private:
  HANDLE handle_;
};

// An exclusive lock on the hidden file ".kivocom-settings.lock" in the folder that holds a settings
// file. Windows locks byte ranges of files, not folders, and the settings file itself cannot carry
// the lock because every write replaces it with a new file; so writers of every settings file in
// the folder meet on this lock file. The file is opened without delete sharing, so the writer
// that ends last deletes it and no litter stays in the client's folder, while no writer can
// delete it under another that holds it open. Released when the object ends.
class FolderLock {
 public:
  // Locks `folder`, waiting at most `wait` for another writer. Raises a save error for `path`
  // when the lock file cannot be opened or stays locked. On a file system without locks it goes
  // on without one.
  FolderLock(const std::string& folder, std::chrono::milliseconds wait, const std::string& path,
             const std::string& source);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  std::wstring path_;
  FileHandle lockFile_;
};

}  // namespace kivocom
