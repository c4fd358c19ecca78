// SPDX-License-Identifier: MIT
// The descriptors a settings-file write holds: an owned file descriptor, and the lock on the
// settings file's folder that writers hold around each read-modify-write.
#pragma once

#include <chrono>
#include <string>

namespace kivocom {

// A file descriptor closed when the object ends.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Closes the descriptor held so far and holds `fd`.
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  // Closes now; 0, or -1 with errno set when the close reported an error.
  int Close();

 private:
  int fd_;
};

// An exclusive lock on the folder that holds a settings file. The folder is locked, not the file,
// because every write renames a new file over the old one: a lock on the old file would not stop
// a second writer who opened the new one, and a separate lock file would be litter in the
// client's folder. Released when the object ends.
class FolderLock {
 public:
  // Locks `folder`, waiting at most `wait` for another writer. Raises a save error for `path`
  // when the folder cannot be opened or stays locked. On a file system without locks it goes on
  // without one.
  FolderLock(const std::string& folder, std::chrono::milliseconds wait, const std::string& path,
             const std::string& source);
  // Flushes the folder's entries (the rename of a new file) to disk; errors are ignored because
  // the new file is already in place.
  void SyncEntries() const;

 private:
  FileDescriptor folder_;
};

}  // namespace kivocom
