// SPDX-License-Identifier: MIT
// Settings files on Windows: two writers under the folder lock lose nothing, a failed replace
// leaves the old file, and Win32 errors give the settings-file numbers.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "kivocom/error.h"
#include "kivocom/kivo_ini_file.h"
#include "kivoini/windows/kivo_ini_file_errors_windows.h"
#include "support/scratch_folder.h"

namespace kivocom {
namespace {

TEST(SettingsStorageWindows, TwoWritersAtOnceLoseNoKey) {
  ScratchFolder scratch;
  const std::string path = scratch.Path("shared.ini");
  constexpr int kKeys = 12;
  const auto writer = [&](const std::string& prefix) {
    KivoINIFile file;
    file.FileName(path);
    file.Section("Shared");
    for (int i = 0; i < kKeys; ++i) file.WriteLong(prefix + std::to_string(i), i, "");
  };
  std::thread first(writer, "A");
  std::thread second(writer, "B");
  first.join();
  second.join();
  KivoINIFile reader;
  reader.FileName(path);
  reader.Section("Shared");
  for (const char* prefix : {"A", "B"})
    for (int i = 0; i < kKeys; ++i) {
      int32_t value = -1;
      EXPECT_TRUE(reader.ReadLong(prefix + std::to_string(i), value) && value == i) << prefix << i;
    }
}

TEST(SettingsStorageWindows, AFailedReplaceLeavesTheOldFileAndNoNewOne) {
  ScratchFolder scratch;
  const std::string path = scratch.Path("held.ini");
  WriteFileBytes(path, "[S]\r\nKey=1\r\n");
  // Another program holds the file without letting it be deleted or renamed.
  const HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  KivoINIFile file;
  file.FileName(path);
  file.Section("S");
  try {
    file.WriteLong("Key", 2, "");
    ADD_FAILURE() << "the save reported success";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), kErrIniFileAccess) << error.Description();
    EXPECT_NE(error.Description().find("the file was not changed"), std::string::npos) << error.Description();
  }
  CloseHandle(held);
  EXPECT_EQ(ReadFileBytes(path), "[S]\r\nKey=1\r\n");
  EXPECT_EQ(FolderListing(scratch.Folder()).find(".new-"), std::string::npos) << FolderListing(scratch.Folder());
}

TEST(SettingsStorageWindows, KeepsAttributesAndRefusesAReadOnlyFile) {
  ScratchFolder scratch;
  const std::string path = scratch.Path("kept.ini");
  WriteFileBytes(path, "[S]\r\nKey=1\r\n");
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
  KivoINIFile file;
  file.FileName(path);
  file.Section("S");
  file.WriteLong("Key", 2, "");
  EXPECT_EQ(ReadFileBytes(path), "[S]\r\nKey=2\r\n");
  EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);

  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
  try {
    file.WriteLong("Key", 3, "");
    ADD_FAILURE() << "a read-only file was written";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), kErrIniPermissionDenied) << error.Description();
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFileBytes(path), "[S]\r\nKey=2\r\n");
}

TEST(SettingsFileErrorNumberWindows, SameNumbersAsTheSameFaultsOnPosix) {
  struct Row {
    DWORD code;
    int32_t number;
  };
  for (const Row& row : {Row{ERROR_DISK_FULL, kErrIniDiskFull}, Row{ERROR_HANDLE_DISK_FULL, kErrIniDiskFull},
                         Row{ERROR_ACCESS_DENIED, kErrIniPermissionDenied},
                         Row{ERROR_WRITE_PROTECT, kErrIniPermissionDenied}, Row{ERROR_PATH_NOT_FOUND, kErrIniPathNotFound},
                         Row{ERROR_INVALID_DRIVE, kErrIniPathNotFound}, Row{ERROR_FILENAME_EXCED_RANGE, kErrIniBadFileName},
                         Row{ERROR_CRC, kErrIniDeviceIO}, Row{ERROR_SHARING_VIOLATION, kErrIniFileAccess}})
    EXPECT_EQ(SettingsFileErrorNumber(row.code), row.number) << row.code;
}

}  // namespace
}  // namespace kivocom
