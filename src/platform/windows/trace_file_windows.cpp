// SPDX-License-Identifier: MIT
// The trace file on Windows: its folder (the module that holds the library), the time stamp in the
// user's regional formats, and appending one line safely.
#include <windows.h>

#include <cstdlib>
#include <ctime>

#include "kivocom/trace_file.h"
#include "platform/windows/ansi_text.h"
#include "platform/windows/system_text_windows.h"

namespace kivocom {
namespace {

constexpr const char* kTraceFileName = "dbgkcom.txt";

// The folder of the module this code was loaded from: kivocom.dll, or the program itself when the
// library was linked statically.
std::string OwnFolder() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&OwnFolder), &module))
    return ".";
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return ".";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  const auto separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return ".";
  // A drive root keeps its separator ("C:\"), so that the file name is joined with exactly one.
  const bool root = separator == 2 && path[1] == L':';
  return AnsiFromWide(path.substr(0, root ? separator + 1 : separator));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + name;
  return folder + "\\" + name;
}

std::string ShortDate(const SYSTEMTIME& when) {
  wchar_t text[128];
  const int n = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &when, nullptr, text, 128, nullptr);
  return n > 0 ? AnsiFromWide(std::wstring(text, static_cast<size_t>(n - 1))) : std::string();
}

std::string LongTime(const SYSTEMTIME& when) {
  wchar_t text[128];
  const int n = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &when, nullptr, text, 128);
  return n > 0 ? AnsiFromWide(std::wstring(text, static_cast<size_t>(n - 1))) : std::string();
}

SYSTEMTIME SystemTimeOf(const std::tm& when) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(when.tm_year + 1900);
  time.wMonth = static_cast<WORD>(when.tm_mon + 1);
  time.wDayOfWeek = static_cast<WORD>(when.tm_wday);
  time.wDay = static_cast<WORD>(when.tm_mday);
  time.wHour = static_cast<WORD>(when.tm_hour);
  time.wMinute = static_cast<WORD>(when.tm_min);
  time.wSecond = static_cast<WORD>(when.tm_sec);
  return time;
}

// Refuses what is not a plain file: a link or other reparse point planted at the path (opened
// as itself, not followed), a folder, a device or a pipe.
bool IsPlainFile(HANDLE file) {
  if (GetFileType(file) != FILE_TYPE_DISK) return false;
  FILE_BASIC_INFO info{};
  if (!GetFileInformationByHandleEx(file, FileBasicInfo, &info, sizeof info)) return false;
  return (info.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

// Writes `line` at the end of `file` while holding a lock on a byte far beyond any trace's end
// (readers never meet it). Windows appends each write whole by itself, but Wine finds the end and
// writes there in two steps, so two programs could write at one place; the lock orders them.
void AppendLocked(HANDLE file, const std::string& line) {
  OVERLAPPED farByte{};
  farByte.OffsetHigh = 0x7FFFFFFF;
  const bool locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &farByte) != 0;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  if (locked) UnlockFileEx(file, 0, 1, 0, &farByte);
}

// Composes the line and appends it in one write.
void AppendLine(const std::string& text) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_s(&local, &now) != 0) return;
  const std::string line = TraceTimeStamp(local) + "\t" + text + "\r\n";

  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end of the file. Sharing
  // everything lets other programs read, copy or delete the file meanwhile.
  const HANDLE file = CreateFileW(WideFromAnsi(TraceFilePath()).c_str(), FILE_READ_DATA | FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  if (IsPlainFile(file)) AppendLocked(file, line);
  CloseHandle(file);
}

}  // namespace

std::string TraceFolder() {
  const char* dir = std::getenv("KIVOCOM_TRACE_DIR");
  if (dir && *dir) return dir;
  return OwnFolder();
}

std::string TraceFilePath() { return JoinPath(TraceFolder(), kTraceFileName); }

std::string TraceTimeStamp(const std::tm& when) {
  const SYSTEMTIME time = SystemTimeOf(when);
  const bool midnight = when.tm_hour == 0 && when.tm_min == 0 && when.tm_sec == 0;
  return midnight ? ShortDate(time) : ShortDate(time) + " " + LongTime(time);
}

void AppendTraceLine(const std::string& text) {
  // Tracing never fails an operation: a line that cannot even be composed is lost like one that
  // cannot be written.
  try {
    AppendLine(text);
  } catch (...) {
  }
}

}  // namespace kivocom
