// SPDX-License-Identifier: MIT
// Saving a port's settings where the file system refuses: a read-only folder or mount, a full file
// system, a file-size limit. The error box names the cause and the old file stays as it was.
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

#include "kivocom/kivocom.h"
#include "support/posix/child_process.h"
#include "support/settings_fixture.h"

namespace kivocom {
namespace {

const std::string kClientFile = "; the client's own\n[Display]\nColour=Blue\n\n[COMPort]\nPort=1\n";

// The start of the error box of a failed save of the file at `path`.
std::string SaveFailurePrompt(int number, const std::string& path, const std::string& reason) {
  return "An error occurred while attempting to write settings.\r\rError: " + std::to_string(number) +
         " - Cannot save settings file \"" + path + "\": " + reason + "; the file was not changed.\r";
}

// A tmpfs mounted over a folder in a mount namespace of this process's own, so nothing outside
// the process sees it and it vanishes with the process. Unmounted when the object ends.
class PrivateTmpfs {
 public:
  PrivateTmpfs(const std::string& folder, const std::string& options) : folder_(folder) {
    static const bool privateNamespace =
        unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    mounted_ = privateNamespace && mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~PrivateTmpfs() {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  bool MakeReadOnly() {
    return mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::string folder_;
  bool mounted_ = false;
};

class SettingsWriteFailureTest : public SettingsFileTest {
 protected:
  SettingsWriteFailureTest() { mkdir(folder.c_str(), 0755); }

  // Saves the port's settings and returns the prompt of the one box it showed.
  std::string SaveAndTakePrompt() {
    messages->boxes.clear();
    port.WriteToFile(none, file);
    EXPECT_EQ(none, nullptr);
    return messages->boxes.size() == 1 ? messages->boxes[0].prompt
                                       : std::to_string(messages->boxes.size()) + " boxes";
  }
  void ExpectOldFileIntact() {
    EXPECT_EQ(ReadFileBytes(file), kClientFile);
    EXPECT_EQ(FolderListing(folder), "client.ini ") << "no new file left behind";
  }

  std::string folder = scratch.Path("settings");
  std::string file = folder + "/client.ini";
  CCOMPort port;
};

// Runs everywhere: the file-size limit makes the new file's writes fail as a full disk would.
TEST_F(SettingsWriteFailureTest, FileSizeLimitReachedFailsTheSaveAndKeepsTheOldFile) {
  WriteFileBytes(file, kClientFile);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = kClientFile.size();
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const std::string prompt = SaveAndTakePrompt();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(prompt, SaveFailurePrompt(61, file, "File too large") + "(KivoINIFile - WriteString)");
  ExpectOldFileIntact();
}

TEST_F(SettingsWriteFailureTest, FullFileSystemFailsTheSaveAndKeepsTheOldFile) {
  PrivateTmpfs tmpfs(folder, "size=64k,mode=0755");
  if (!tmpfs.Mounted()) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
  WriteFileBytes(file, kClientFile);
  {
    std::ofstream filler(folder + "/filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), block.size())) {
    }
  }
  EXPECT_EQ(SaveAndTakePrompt(), SaveFailurePrompt(61, file, "No space left on device") +
                                     "(KivoINIFile - WriteString)");
  std::remove((folder + "/filler").c_str());
  ExpectOldFileIntact();
}

TEST_F(SettingsWriteFailureTest, ReadOnlyMountFailsTheSaveAndKeepsTheOldFile) {
  PrivateTmpfs tmpfs(folder, "size=64k,mode=0755");
  if (!tmpfs.Mounted()) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
  WriteFileBytes(file, kClientFile);
  ASSERT_TRUE(tmpfs.MakeReadOnly());
  EXPECT_EQ(SaveAndTakePrompt(),
            SaveFailurePrompt(70, file, "it is on a read-only file system") + "(KivoINIFile - WriteString)");
  ExpectOldFileIntact();
}

// Root writes into a folder whatever its mode says, so the save runs as an ordinary user then.
TEST_F(SettingsWriteFailureTest, ReadOnlyFolderFailsTheSaveAndKeepsTheOldFile) {
  ASSERT_EQ(chmod(scratch.Folder().c_str(), 0755), 0);
  WriteFileBytes(file, kClientFile);
  ASSERT_EQ(chmod(file.c_str(), 0666), 0);  // the file may be written, its folder not
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  ChildProcess child([&] { return SaveAndTakePrompt(); }, /*unprivileged=*/true);
  const std::string prompt = child.Finish();
  if (prompt == kCannotDropPrivileges) GTEST_SKIP() << prompt;
  EXPECT_EQ(prompt,
            SaveFailurePrompt(70, file, "Permission denied") + "(KivoINIFile - WriteString)");
  ExpectOldFileIntact();
}

}  // namespace
}  // namespace kivocom
