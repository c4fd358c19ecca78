// SPDX-License-Identifier: MIT
// KivoINIFile on real files: typed round trips, what reads as not found, bad files, and writes
// that keep every other byte and both writers' keys.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "kivoini/kivo_ini_storage.h"
#include "support/ini_file_fixture.h"
#include "support/test_child.h"

namespace kivocom {
namespace {

using namespace std::string_literals;

TEST_F(IniFileTest, EveryTypeRoundTripsInItsDocumentedForm) {
  ini.WriteString("Version", "1.0");
  ini.WriteInteger("Small", -32768, "");
  ini.WriteLong("Large", 2147483647, "");
  ini.WriteBoolean("Yes", true);
  ini.WriteBoolean("No", false);
  EXPECT_EQ(ReadFileBytes(path), "[S]\nVersion=1.0\nSmall=-32768\nLarge=2147483647\nYes=True\nNo=False\n");

  std::string text;
  int16_t small = 0;
  int32_t large = 0;
  bool yes = false, no = true;
  EXPECT_TRUE(ini.ReadString("version", text));
  EXPECT_TRUE(ini.ReadInteger("SMALL", small));
  EXPECT_TRUE(ini.ReadLong("Large", large));
  EXPECT_TRUE(ini.ReadBoolean("Yes", yes));
  EXPECT_TRUE(ini.ReadBoolean("No", no));
  EXPECT_EQ(text, "1.0");
  EXPECT_EQ(small, -32768);
  EXPECT_EQ(large, 2147483647);
  EXPECT_TRUE(yes);
  EXPECT_FALSE(no);
}

TEST_F(IniFileTest, MissingFileOrFolderReadsAsEmptyAndLeavesTheValue) {
  int16_t value = 42;
  EXPECT_FALSE(ini.ReadInteger("Port", value));
  KivoINIFile elsewhere;
  elsewhere.FileName(scratch.Path("no-such-folder/settings.ini"));
  elsewhere.Section("S");
  EXPECT_FALSE(elsewhere.ReadInteger("Port", value));
  EXPECT_EQ(value, 42);
  EXPECT_EQ(FolderListing(scratch.Folder()), "") << "reading creates nothing";

  std::string description;
  EXPECT_EQ(ErrorNumberOf([&] { elsewhere.WriteInteger("Port", 3, ""); }, &description), kErrIniPathNotFound);
  // The reason between the path and the ending is the system's own text.
  EXPECT_TRUE(description.starts_with("Cannot save settings file \"" + scratch.Path("no-such-folder/settings.ini") +
                                      "\": "))
      << description;
  EXPECT_TRUE(description.ends_with("; the file was not changed.")) << description;
  EXPECT_EQ(FolderListing(scratch.Folder()), "");
}

TEST_F(IniFileTest, ValuesThatAreNotValidNumbersOfTheTypeReadAsNotFoundAndLeaveTheValue) {
  WriteFileBytes(path, "[S]\nBig=70000\nWord=yes\nUnit=3000 ms\n");
  int16_t small = 7;
  int32_t large = 7;
  bool flag = true;
  EXPECT_FALSE(ini.ReadInteger("Big", small));
  EXPECT_FALSE(ini.ReadLong("Unit", large));
  EXPECT_FALSE(ini.ReadBoolean("Word", flag));
  EXPECT_EQ(small, 7);
  EXPECT_EQ(large, 7);
  EXPECT_TRUE(flag);
  EXPECT_TRUE(ini.ReadLong("Big", large));
  EXPECT_EQ(large, 70000);
}

TEST_F(IniFileTest, NamesAndValuesTheFileCannotHoldAreRefusedBeforeAnyChange) {
  WriteFileBytes(path, "[S]\nk=1\n");
  EXPECT_EQ(ErrorNumberOf([&] { ini.WriteString("k", "two\nlines"); }), kErrIniBadArgument);
  EXPECT_EQ(ErrorNumberOf([&] { ini.WriteInteger("a=b", 1, ""); }), kErrIniBadArgument);
  EXPECT_EQ(ErrorNumberOf([&] { ini.Section("x]y"); }), kErrIniBadArgument);
  EXPECT_EQ(ini.Section(), "S");
  EXPECT_EQ(ErrorNumberOf([&] { ini.FileName(""); }), kErrIniBadFileName);
  EXPECT_EQ(ReadFileBytes(path), "[S]\nk=1\n");

  KivoINIFile unnamed;
  int16_t value = 0;
  EXPECT_EQ(ErrorNumberOf([&] { unnamed.ReadInteger("k", value); }), kErrIniBadFileName);
  unnamed.FileName(path);
  EXPECT_EQ(ErrorNumberOf([&] { unnamed.WriteInteger("k", 1, ""); }), kErrIniBadArgument) << "no section";
}

TEST_F(IniFileTest, BinaryFilesAreReadLineByLineButNeverWritten) {
  std::mt19937 random(12345);
  std::string garbage(64 * 1024, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  const std::string file = garbage + "\n[S]\nk=5\n\0\0\n"s;
  WriteFileBytes(path, file);
  int16_t value = 0;
  EXPECT_TRUE(ini.ReadInteger("k", value));
  EXPECT_EQ(value, 5);
  std::string description;
  EXPECT_EQ(ErrorNumberOf([&] { ini.WriteInteger("k", 6, ""); }, &description), kErrIniFileAccess);
  EXPECT_NE(description.find("NUL bytes"), std::string::npos) << description;
  EXPECT_EQ(ReadFileBytes(path), file);
  EXPECT_EQ(FolderListing(scratch.Folder()), "settings.ini ");
}

TEST_F(IniFileTest, TenMegabyteLineIsKeptWhole) {
  const std::string file = "[S]\nlong=" + std::string(10 << 20, 'x') + "\n";
  WriteFileBytes(path, file);
  int32_t value = 0;
  EXPECT_FALSE(ini.ReadLong("long", value));
  ini.WriteLong("k", 1, "");
  EXPECT_EQ(ReadFileBytes(path), file + "k=1\n");
}

TEST_F(IniFileTest, WhatIsNoSettingsFileGivesAClearError) {
  int16_t value = 0;
  std::string description;
  ASSERT_TRUE(std::filesystem::create_directory(path));
  EXPECT_EQ(ErrorNumberOf([&] { ini.ReadInteger("k", value); }, &description), kErrIniFileAccess);
  EXPECT_NE(description.find("is a folder"), std::string::npos) << description;
  EXPECT_EQ(ErrorNumberOf([&] { ini.WriteInteger("k", 1, ""); }), kErrIniFileAccess);
  ASSERT_TRUE(std::filesystem::remove(path));

  WriteFileBytes(path, "");
  std::filesystem::resize_file(path, kMaxSettingsFileBytes + 1);  // sparse: costs no disk
  EXPECT_EQ(ErrorNumberOf([&] { ini.ReadInteger("k", value); }, &description), kErrIniFileAccess);
  EXPECT_NE(description.find("too large"), std::string::npos) << description;
}

TEST_F(IniFileTest, TwoProcessesWritingOneFileLoseNoKeys) {
  constexpr int kWrites = 100;
  const auto writeKeys = [](const std::string& file, const std::string& section) {
    KivoINIFile writer;
    writer.FileName(file);
    writer.Section(section);
    for (int i = 0; i < kWrites; ++i) writer.WriteLong("Key" + std::to_string(i), i, "");
  };
  if (!ChildRole().empty()) {  // the second program: announces its start, then writes
    WriteFileBytes(ChildRole() + ".started", "");
    writeKeys(ChildRole(), "Child");
    return;
  }
  // A long comment makes each read-modify-write take long enough for the two to overlap.
  WriteFileBytes(path, "; shared by two programs" + std::string(256 << 10, '.') + "\n");
  TestChild child(path);
  const bool started = WaitUntil([&] { return std::filesystem::exists(path + ".started"); }, std::chrono::seconds(30));
  writeKeys(path, "Parent");
  const ToolResult& ended = child.Finish();
  ASSERT_TRUE(started);
  ASSERT_EQ(ended.exitCode, 0) << ended.out << ended.err;
  std::filesystem::remove(path + ".started");

  for (const char* section : {"Child", "Parent"}) {
    ini.Section(section);
    for (int i = 0; i < kWrites; ++i) {
      int32_t value = -1;
      EXPECT_TRUE(ini.ReadLong("Key" + std::to_string(i), value)) << section << " Key" << i;
      EXPECT_EQ(value, i);
    }
  }
  EXPECT_EQ(FolderListing(scratch.Folder()), "settings.ini ");
}

}  // namespace
}  // namespace kivocom
