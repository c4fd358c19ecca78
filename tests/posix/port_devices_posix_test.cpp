// SPDX-License-Identifier: MIT
// Port numbers named through the ports folder: a link, or a plain file whose first line holds the
// device path, however the editor left blanks around it; and the numbers devices are given.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include "kivocom/port_devices.h"
#include "support/scratch_folder.h"

namespace kivocom {
namespace {

TEST(PortsFolder, FilesAndLinksNameTheDevice) {
  ScratchFolder scratch;
  setenv("KIVOCOM_PORTS_DIR", scratch.Folder().c_str(), 1);
  const struct {
    int32_t port;
    std::string content;
    std::string device;
  } rows[] = {{6, "   /dev/pts/2  \r\n", "/dev/pts/2"}, {7, "\t/dev/ttyUSB0\n# a note\n", "/dev/ttyUSB0"}, {8, "/dev/ttyS4", "/dev/ttyS4"}};
  for (const auto& row : rows) {
    WriteFileBytes(scratch.Path("com" + std::to_string(row.port)), row.content);
    EXPECT_EQ(PortDevicePath(row.port), row.device) << row.content;
  }
  ASSERT_EQ(symlink("/dev/null", scratch.Path("com9").c_str()), 0);
  EXPECT_EQ(PortDevicePath(9), scratch.Path("com9"));
  unsetenv("KIVOCOM_PORTS_DIR");
}

TEST(PortsFolder, ADeviceGetsTheNumberTheFolderGivesItElseOneNamingNothing) {
  ScratchFolder scratch;
  setenv("KIVOCOM_PORTS_DIR", scratch.Folder().c_str(), 1);
  WriteFileBytes(scratch.Path("com200"), "/dev/kivocom-recorded\n");
  WriteFileBytes(scratch.Path("com256"), "/dev/kivocom-other\n");
  EXPECT_EQ(MapDeviceToFreePort("/dev/kivocom-recorded"), 200);
  const int32_t fresh = MapDeviceToFreePort("/dev/kivocom-new");
  EXPECT_TRUE(fresh != 200 && fresh != 256 && fresh >= 1) << fresh;
  EXPECT_EQ(PortDevicePath(fresh), "/dev/kivocom-new");
  const int32_t second = MapDeviceToFreePort("/dev/kivocom-recorded");
  EXPECT_NE(second, 200);  // the recorded number is mapped already: never given twice
  EXPECT_FALSE(UnmapPort(fresh, "/dev/kivocom-recorded"));
  EXPECT_TRUE(UnmapPort(fresh, "/dev/kivocom-new"));
  EXPECT_TRUE(UnmapPort(200, "/dev/kivocom-recorded"));
  EXPECT_TRUE(UnmapPort(second, "/dev/kivocom-recorded"));
  EXPECT_EQ(PortDevicePath(256), "/dev/kivocom-other");
  unsetenv("KIVOCOM_PORTS_DIR");
}

}  // namespace
}  // namespace kivocom
