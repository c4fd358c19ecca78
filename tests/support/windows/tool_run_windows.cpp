// SPDX-License-Identifier: MIT
// Runs the tool through CreateProcessW with its output and error on pipes, each drained by a
// thread of its own so that neither fills up while the tool writes to the other.
#include <windows.h>

#include <memory>
#include <thread>

#include "support/tool_run.h"

namespace kivocom {
namespace {

// Closes a handle when it goes out of scope.
struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

// `argument` quoted as the C runtime splits a command line: backslashes are literal except before
// a quote, where each one and the quote are escaped.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

std::wstring CommandLine(const std::string& tool, const std::vector<std::string>& args) {
  std::wstring line = Quoted(Wide(tool));
  for (const auto& a : args) line += L" " + Quoted(Wide(a));
  return line;
}

// A pipe whose write end the child inherits; false when the system has none left.
bool MakePipe(OwnedHandle& read, OwnedHandle& write) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE r = nullptr, w = nullptr;
  if (!CreatePipe(&r, &w, &inheritable, 0)) return false;
  read.reset(r);
  write.reset(w);
  return SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0) != 0;
}

// Reads `pipe` to its end into `sink`. The tool's text-mode streams end lines with CR LF here;
// they are read as LF, as the other system writes them, so that tests compare one text.
void Drain(HANDLE pipe, std::string& sink) {
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) sink.append(buffer, got);
  std::string::size_type at = 0;
  while ((at = sink.find("\r\n", at)) != std::string::npos) sink.erase(at, 1);
}

}  // namespace

ToolResult RunTool(const std::string& tool, const std::vector<std::string>& args, int timeoutMs) {
  ToolResult result;
  OwnedHandle outRead, outWrite, errRead, errWrite;
  if (!MakePipe(outRead, outWrite) || !MakePipe(errRead, errWrite)) return result;
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const OwnedHandle nothingIn(
      CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothingIn.get();
  startup.hStdOutput = outWrite.get();
  startup.hStdError = errWrite.get();
  PROCESS_INFORMATION process{};
  std::wstring line = CommandLine(tool, args);
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &process))
    return result;
  const OwnedHandle child(process.hProcess);
  CloseHandle(process.hThread);
  // Only the child holds the write ends now, so the pipes end when it does.
  outWrite.reset();
  errWrite.reset();

  std::thread outReader(Drain, outRead.get(), std::ref(result.out));
  std::thread errReader(Drain, errRead.get(), std::ref(result.err));
  const bool finished = WaitForSingleObject(child.get(), static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
  if (!finished) {
    TerminateProcess(child.get(), 1);
    WaitForSingleObject(child.get(), INFINITE);
  }
  outReader.join();
  errReader.join();
  DWORD code = 0;
  if (finished && GetExitCodeProcess(child.get(), &code)) result.exitCode = static_cast<int>(code);
  return result;
}

}  // namespace kivocom
