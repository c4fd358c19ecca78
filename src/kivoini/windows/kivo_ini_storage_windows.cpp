// SPDX-License-Identifier: MIT
// Settings files on Windows: reading one whole, and replacing it through a new file that is
// flushed and moved over the old one while the folder is locked.
#include <windows.h>

#include <atomic>

#include "kivocom/kivo_ini_file.h"
#include "kivoini/kivo_ini_storage.h"
#include "platform/windows/ansi_text.h"
#include "kivoini/windows/kivo_ini_file_errors_windows.h"
#include "kivoini/windows/kivo_ini_folder_lock_windows.h"
#include "platform/windows/system_text_windows.h"

namespace kivocom {
namespace {

constexpr int kTempNameAttempts = 100;
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

struct LoadedFile {
  std::string text;
  DWORD attributes = 0;
};

constexpr const char* kTooLarge = "it is larger than 64 MiB, too large for a settings file";

std::string ReadAll(HANDLE file, const std::string& path, const std::string& source) {
  std::string text;
  char buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) RaiseReadError(GetLastError(), path, source);
    if (n == 0) return text;
    if (text.size() + n > kMaxSettingsFileBytes) RaiseReadError(kErrIniFileAccess, path, kTooLarge, source);
    text.append(buffer, n);
  }
}

// The file's bytes and attributes; nullopt when the file or its folder is missing. Opened with
// every sharing mode, so other readers and writers are not disturbed, and with backup semantics so
// that a folder opens too and is then refused by its attributes.
std::optional<LoadedFile> LoadFile(const std::string& path, const std::string& source) {
  FileHandle file(CreateFileW(WideFromAnsi(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return std::nullopt;
    RaiseReadError(code, path, source);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file.Get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.Get(), &info))
    RaiseReadError(kErrIniFileAccess, path, "it is not a regular file", source);
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    RaiseReadError(kErrIniFileAccess, path, "it is a folder", source);
  if (info.nFileSizeHigh != 0 || info.nFileSizeLow > kMaxSettingsFileBytes)
    RaiseReadError(kErrIniFileAccess, path, kTooLarge, source);
  LoadedFile loaded;
  loaded.attributes = info.dwFileAttributes;
  loaded.text = ReadAll(file.Get(), path, source);
  return loaded;
}

// The file a symbolic link (or other name surrogate) points to, so that the replace step replaces
// that file and keeps the link.
std::string FollowLink(const std::string& path) {
  const std::wstring wide = WideFromAnsi(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
  FileHandle file(CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return path;
  wchar_t target[MAX_PATH * 4];
  const DWORD n = GetFinalPathNameByHandleW(file.Get(), target, MAX_PATH * 4, FILE_NAME_NORMALIZED);
  return n > 0 && n < MAX_PATH * 4 ? AnsiFromWide(std::wstring(target, n)) : path;
}

size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

// The folder part of `path`: "." for a bare name, "C:" for "C:name", and a root keeps its
// separator ("C:\", "\").
std::string FolderOf(const std::string& path) {
  const auto separator = LastSeparator(path);
  if (separator == std::string::npos) return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
  const bool root = separator == 0 || (separator == 2 && path[1] == ':');
  return path.substr(0, root ? separator + 1 : separator);
}

std::string BaseNameOf(const std::string& path) {
  const auto separator = LastSeparator(path);
  if (separator != std::string::npos) return path.substr(separator + 1);
  return path.size() >= 2 && path[1] == ':' ? path.substr(2) : path;
}

std::string Joined(const std::string& folder, const std::string& name) {
  const bool separated = !folder.empty() && (folder.back() == '\\' || folder.back() == '/' || folder.back() == ':');
  return separated ? folder + name : folder + "\\" + name;
}

// Refuses to write into what is not a writable text settings file.
void CheckWritable(const std::string& path, const LoadedFile& file, const std::string& source) {
  if (file.text.find('\0') != std::string::npos)
    RaiseSaveError(kErrIniFileAccess, path, "it holds NUL bytes, so it is not a text settings file", source);
  if (file.attributes & FILE_ATTRIBUTE_READONLY)
    RaiseSaveError(kErrIniPermissionDenied, path, "the file is read-only", source);
}

// The new file, written beside the old one; deleted again unless it was moved into place.
class NewFile {
 public:
  NewFile(const std::string& target, const LoadedFile* old, const std::string& source)
      : target_(target), source_(source) {
    static std::atomic<unsigned> counter{0};
    // The old file's attributes from the start, so that the file in place never lacks them.
    const DWORD kept = old ? (old->attributes & kKeptAttributes) : 0;
    const DWORD attributes = kept ? kept : FILE_ATTRIBUTE_NORMAL;
    for (int attempt = 0; attempt < kTempNameAttempts && !file_; ++attempt) {
      path_ = WideFromAnsi(Joined(FolderOf(target), "." + BaseNameOf(target) + ".new-" +
                                                         std::to_string(GetCurrentProcessId()) + "-" +
                                                         std::to_string(counter++)));
      file_.Reset(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
      if (!file_ && GetLastError() != ERROR_FILE_EXISTS) RaiseSaveError(GetLastError(), target_, source_);
    }
    if (!file_) RaiseSaveError(static_cast<DWORD>(ERROR_FILE_EXISTS), target_, source_);
  }
  ~NewFile() {
    file_.Close();
    if (!moved_) DeleteFileW(path_.c_str());
  }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  void Write(const std::string& text) {
    for (size_t done = 0; done < text.size();) {
      DWORD n = 0;
      if (!WriteFile(file_.Get(), text.data() + done, static_cast<DWORD>(text.size() - done), &n, nullptr))
        RaiseSaveError(GetLastError(), target_, source_);
      done += n;
    }
  }
  void FlushAndClose() {
    if (!FlushFileBuffers(file_.Get())) RaiseSaveError(GetLastError(), target_, source_);
    if (!file_.Close()) RaiseSaveError(GetLastError(), target_, source_);
  }
  // ReplaceFileW keeps the old file's attributes, security and creation time; a first save has
  // none to keep and moves the file into place, through to the disk.
  void MoveOverTarget(bool targetExists) {
    const std::wstring target = WideFromAnsi(target_);
    const bool moved = targetExists
                           ? ReplaceFileW(target.c_str(), path_.c_str(), nullptr,
                                          REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                           : MoveFileExW(path_.c_str(), target.c_str(),
                                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!moved) RaiseSaveError(ReplaceError(GetLastError()), target_, source_);
    moved_ = true;
  }

 private:
  // ReplaceFileW reports its steps' failures with codes of its own; what stopped it was the old
  // file being held or refused, which is the file-access case.
  static DWORD ReplaceError(DWORD code) {
    const bool ownCode = code == ERROR_UNABLE_TO_REMOVE_REPLACED || code == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
                         code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
    return ownCode ? static_cast<DWORD>(ERROR_SHARING_VIOLATION) : code;
  }

  std::string target_, source_;
  std::wstring path_;
  FileHandle file_;
  bool moved_ = false;
};

}  // namespace

std::optional<std::string> LoadSettingsText(const std::string& path, const std::string& source) {
  auto file = LoadFile(path, source);
  if (!file) return std::nullopt;
  return std::move(file->text);
}

void EditSettingsFile(const std::string& path, const std::function<std::string(const std::string&)>& edit,
                      const std::string& source, std::chrono::milliseconds lockWait) {
  const std::string target = FollowLink(path);
  FolderLock lock(FolderOf(target), lockWait, target, source);
  const auto old = LoadFile(target, source);
  if (old) CheckWritable(target, *old, source);
  const std::string text = edit(old ? old->text : std::string());
  if (old && text == old->text) return;
  if (text.size() > kMaxSettingsFileBytes) RaiseSaveError(kErrIniFileAccess, target, kTooLarge, source);
  NewFile file(target, old ? &*old : nullptr, source);
  file.Write(text);
  file.FlushAndClose();
  file.MoveOverTarget(old.has_value());
}

}  // namespace kivocom
