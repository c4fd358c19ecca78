// SPDX-License-Identifier: MIT
// The trace file on Windows: the user's date and time formats, the module's folder, and a link
// planted at the path left alone.
#include <gtest/gtest.h>
#include <windows.h>

#include "kivocom/trace_file.h"
#include "support/environment.h"
#include "support/scratch_folder.h"

namespace kivocom {
namespace {

std::tm Time(int hour, int minute, int second) {
  std::tm when{};
  when.tm_year = 126;
  when.tm_mon = 11;
  when.tm_mday = 8;
  when.tm_wday = 2;
  when.tm_hour = hour;
  when.tm_min = minute;
  when.tm_sec = second;
  return when;
}

std::string UserFormat(bool date, const SYSTEMTIME& when) {
  wchar_t text[128];
  const int n = date ? GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &when, nullptr, text, 128, nullptr)
                     : GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &when, nullptr, text, 128);
  char ansi[256];
  const int m = WideCharToMultiByte(CP_ACP, 0, text, n - 1, ansi, sizeof ansi, nullptr, nullptr);
  return std::string(ansi, static_cast<size_t>(m));
}

TEST(TraceTimeStampWindows, UsersShortDateAndLongTimeDateAloneAtMidnight) {
  const SYSTEMTIME morning{2026, 12, 2, 8, 8, 24, 14, 0};
  EXPECT_EQ(TraceTimeStamp(Time(8, 24, 14)), UserFormat(true, morning) + " " + UserFormat(false, morning));
  EXPECT_EQ(TraceTimeStamp(Time(0, 0, 0)), UserFormat(true, morning));
  EXPECT_NE(TraceTimeStamp(Time(0, 0, 1)), UserFormat(true, morning)) << "a second past midnight has its time";
  wchar_t locale[LOCALE_NAME_MAX_LENGTH];
  if (GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH) && std::wstring(locale) == L"en-US") {
    EXPECT_EQ(TraceTimeStamp(Time(8, 24, 14)), "12/8/2026 8:24:14 AM");
  }
}

TEST(TraceFolderWindows, TheFolderOfTheModuleHoldingTheLibrary) {
  UnsetEnvironment("KIVOCOM_TRACE_DIR");
  // This test program links the library statically, so the module is the program.
  wchar_t program[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring folder(program, n);
  folder.resize(folder.find_last_of(L"\\/"));
  char ansi[MAX_PATH * 2];
  const int m = WideCharToMultiByte(CP_ACP, 0, folder.data(), static_cast<int>(folder.size()), ansi, sizeof ansi,
                                    nullptr, nullptr);
  EXPECT_EQ(TraceFolder(), std::string(ansi, static_cast<size_t>(m)));
  EXPECT_EQ(TraceFilePath(), TraceFolder() + "\\dbgkcom.txt");
  SetEnvironment("KIVOCOM_TRACE_DIR", "C:\\");
  EXPECT_EQ(TraceFilePath(), "C:\\dbgkcom.txt") << "one separator only";
  UnsetEnvironment("KIVOCOM_TRACE_DIR");
}

TEST(AppendTraceLineWindows, AppendsLinesAndLeavesALinkPlantedAtThePathAlone) {
  ScratchFolder scratch;
  SetEnvironment("KIVOCOM_TRACE_DIR", scratch.Folder());
  AppendTraceLine("one");
  AppendTraceLine("two\rthree");
  const std::string text = ReadFileBytes(scratch.Path("dbgkcom.txt"));
  EXPECT_NE(text.find("\tone\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\ttwo\rthree\r\n"), std::string::npos) << text;

  DeleteFileA(scratch.Path("dbgkcom.txt").c_str());
  WriteFileBytes(scratch.Path("victim.txt"), "keep");
  if (!CreateSymbolicLinkA(scratch.Path("dbgkcom.txt").c_str(), scratch.Path("victim.txt").c_str(),
                           SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
    UnsetEnvironment("KIVOCOM_TRACE_DIR");
    GTEST_SKIP() << "this system lets no one create symbolic links";
  }
  AppendTraceLine("through the link");
  EXPECT_EQ(ReadFileBytes(scratch.Path("victim.txt")), "keep");
  UnsetEnvironment("KIVOCOM_TRACE_DIR");
}

}  // namespace
}  // namespace kivocom
