// SPDX-License-Identifier: MIT
// Port numbers named through the ports folder: a link, or a plain file whose first line holds the
// device path, however the editor left blanks around it.
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

}  // namespace
}  // namespace kivocom
