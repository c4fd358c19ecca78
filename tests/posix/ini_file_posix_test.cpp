// SPDX-License-Identifier: MIT
// KivoINIFile on this system's own kinds of files: pipes, permission bits, symbolic links, and
// the folder lock another writer holds.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "kivoini/kivo_ini_storage.h"
#include "support/ini_file_fixture.h"
#include "support/posix/child_process.h"

namespace kivocom {
namespace {

TEST_F(IniFileTest, APipeIsNoSettingsFile) {
  int16_t value = 0;
  std::string description;
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);  // opening it must not wait for a writer
  EXPECT_EQ(ErrorNumberOf([&] { ini.ReadInteger("k", value); }, &description), kErrIniFileAccess);
  EXPECT_NE(description.find("not a regular file"), std::string::npos) << description;
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

// A link planted where anyone may write, or one another user owns, could make a program run by
// root rewrite any file: such links are refused and nothing changes.
TEST_F(IniFileTest, UntrustedLinksAreNotWrittenThrough) {
  WriteFileBytes(path, "[S]\n");
  const std::string shared = scratch.Path("shared");
  ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  const std::string planted = shared + "/link.ini";
  ASSERT_EQ(symlink(path.c_str(), planted.c_str()), 0);
  const std::string foreign = scratch.Path("foreign.ini");
  ASSERT_EQ(symlink(path.c_str(), foreign.c_str()), 0);
  const bool canGiveAway = lchown(foreign.c_str(), 4321, 4321) == 0;  // only root may give a link away
  for (const std::string& link : {planted, foreign}) {
    if (link == foreign && !canGiveAway) continue;
    KivoINIFile viaLink;
    viaLink.FileName(link);
    viaLink.Section("S");
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { viaLink.WriteInteger("k", 1, ""); }, &description), kErrIniFileAccess) << link;
    EXPECT_NE(description.find("is not followed"), std::string::npos) << description;
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
  }
  EXPECT_EQ(ReadFileBytes(path), "[S]\n") << "the target is untouched";
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

}  // namespace
}  // namespace kivocom
