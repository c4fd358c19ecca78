// KivoINIFile on real files: typed round trips, what reads as not found, bad files, and writes
// that keep every other byte, the file's permissions, and both writers' keys.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "kivocom/error.h"
#include "kivocom/kivo_ini_file.h"
#include "platform/kivo_ini_storage.h"
#include "support/child_process.h"
#include "support/scratch_folder.h"

namespace kivocom {
namespace {

using namespace std::string_literals;

class IniFileTest : public ::testing::Test {
 protected:
  IniFileTest() {
    ini.FileName(path);
    ini.Section("S");
  }
  // The number of the Error that `action` raises (0 when it raises none).
  template <class Action>
  static int32_t ErrorNumberOf(Action&& action, std::string* description = nullptr) {
    try {
      action();
    } catch (const Error& e) {
      if (description) *description = e.Description();
      return e.Number();
    }
    return 0;
  }

  ScratchFolder scratch;
  std::string path = scratch.Path("settings.ini");
  KivoINIFile ini;
};

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
  EXPECT_EQ(description, "Cannot save settings file \"" + scratch.Path("no-such-folder/settings.ini") +
                             "\": No such file or directory; the file was not changed.");
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
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  EXPECT_EQ(ErrorNumberOf([&] { ini.ReadInteger("k", value); }, &description), kErrIniFileAccess);
  EXPECT_NE(description.find("is a folder"), std::string::npos) << description;
  EXPECT_EQ(ErrorNumberOf([&] { ini.WriteInteger("k", 1, ""); }), kErrIniFileAccess);
  ASSERT_EQ(rmdir(path.c_str()), 0);

  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);  // opening it must not wait for a writer
  EXPECT_EQ(ErrorNumberOf([&] { ini.ReadInteger("k", value); }, &description), kErrIniFileAccess);
  EXPECT_NE(description.find("not a regular file"), std::string::npos) << description;
  ASSERT_EQ(unlink(path.c_str()), 0);

  WriteFileBytes(path, "");
  ASSERT_EQ(truncate(path.c_str(), kMaxSettingsFileBytes + 1), 0);  // sparse: costs no disk
  EXPECT_EQ(ErrorNumberOf([&] { ini.ReadInteger("k", value); }, &description), kErrIniFileAccess);
  EXPECT_NE(description.find("too large"), std::string::npos) << description;
}

// As root the permission bits do not stop anything; these cases run as an ordinary user then.
TEST_F(IniFileTest, UnreadableAndReadOnlyFilesGivePermissionErrors) {
  ASSERT_EQ(chmod(scratch.Folder().c_str(), 0755), 0);
  WriteFileBytes(path, "[S]\nk=1\n");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  const std::string unreadable = scratch.Path("secret.ini");
  WriteFileBytes(unreadable, "[S]\nk=1\n");
  ASSERT_EQ(chmod(unreadable.c_str(), 0), 0);

  ChildProcess child(
      [&] {
        std::string result;
        int16_t value = 0;
        KivoINIFile secret;
        secret.FileName(unreadable);
        secret.Section("S");
        result += std::to_string(ErrorNumberOf([&] { secret.ReadInteger("k", value); })) + " ";
        result += std::to_string(ErrorNumberOf([&] { ini.WriteInteger("k", 2, ""); })) + " ";
        result += std::to_string(ErrorNumberOf([&] { ini.ReadInteger("k", value); }));
        return result + "=" + std::to_string(value);
      },
      /*unprivileged=*/true);
  const std::string result = child.Finish();
  if (result == kCannotDropPrivileges) GTEST_SKIP() << result;
  EXPECT_EQ(result, "70 70 0=1");
  EXPECT_EQ(ReadFileBytes(path), "[S]\nk=1\n");
}

TEST_F(IniFileTest, WritesKeepTheFilesPermissionsAndFollowLinks) {
  WriteFileBytes(path, "[S]\n");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  const std::string link = scratch.Path("link.ini");
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  KivoINIFile viaLink;
  viaLink.FileName(link);
  viaLink.Section("S");
  viaLink.WriteInteger("k", 1, "");

  struct stat info {};
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link stays a link";
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(ReadFileBytes(path), "[S]\nk=1\n");
  EXPECT_EQ(FolderListing(scratch.Folder()), "link.ini settings.ini ") << "no temporary file left";
}

TEST_F(IniFileTest, AWriterWaitsForTheFolderLockOnlySoLong) {
  WriteFileBytes(path, "[S]\n");
  const int folder = open(scratch.Folder().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(folder, 0);
  ASSERT_EQ(flock(folder, LOCK_EX), 0);  // another writer in the middle of its write
  const auto addKey = [](const std::string& text) { return text + "k=1\n"; };
  std::string description;
  const int32_t number = ErrorNumberOf(
      [&] { EditSettingsFile(path, addKey, "test", std::chrono::milliseconds(20)); }, &description);
  EXPECT_EQ(number, kErrIniFileAccess);
  EXPECT_NE(description.find("locked"), std::string::npos) << description;
  EXPECT_EQ(ReadFileBytes(path), "[S]\n");
  close(folder);
  EditSettingsFile(path, addKey, "test", std::chrono::milliseconds(20));
  EXPECT_EQ(ReadFileBytes(path), "[S]\nk=1\n");
}

TEST_F(IniFileTest, TwoProcessesWritingOneFileLoseNoKeys) {
  // A long comment makes each read-modify-write take long enough for the two to overlap.
  WriteFileBytes(path, "; shared by two programs" + std::string(256 << 10, '.') + "\n");
  constexpr int kWrites = 100;
  const auto writeKeys = [&](const std::string& section) {
    KivoINIFile writer;
    writer.FileName(path);
    writer.Section(section);
    for (int i = 0; i < kWrites; ++i) writer.WriteLong("Key" + std::to_string(i), i, "");
    return std::string("done");
  };
  int gate[2];  // both start writing at once
  ASSERT_EQ(pipe(gate), 0);
  ChildProcess child([&] {
    char go = 0;
    close(gate[1]);
    return read(gate[0], &go, 1) == 1 ? writeKeys("Child") : "no start";
  });
  close(gate[0]);
  ASSERT_EQ(write(gate[1], "g", 1), 1);
  close(gate[1]);
  writeKeys("Parent");
  ASSERT_EQ(child.Finish(), "done");

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
