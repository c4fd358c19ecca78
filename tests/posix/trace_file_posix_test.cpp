// SPDX-License-Identifier: MIT
// The trace file against a link planted where it would be: the link's target stays untouched.
#include <gtest/gtest.h>

#include <filesystem>
#include <cstdlib>
#include <fstream>

#include "kivocom/kivocom.h"
#include "kivocom/trace_file.h"
#include "support/memory_line.h"
#include "support/trace_capture.h"

namespace kivocom {
namespace {

namespace fs = std::filesystem;

class PlantedTraceLinkTest : public MemoryLineTest {
 protected:
  TraceCapture trace;
  CCOMPort port;
};

TEST_F(PlantedTraceLinkTest, IsNotFollowed) {
  const std::string victim = trace.Folder() + "/victim.txt";
  std::ofstream(victim) << "precious\n";
  fs::create_symlink(victim, trace.Path());
  port.UpdateDebugFile("attack");
  std::ifstream in(victim);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "precious\n");
}

// A program started by a relative path ("./prog") must not have its trace follow its current folder.
TEST(TraceFolderPosix, IsAbsoluteAndStaysWhenTheProgramChangesFolder) {
  const char* configured = std::getenv("KIVOCOM_TRACE_DIR");
  const std::string saved = configured ? configured : "";
  unsetenv("KIVOCOM_TRACE_DIR");
  const std::string own = TraceFolder();
  EXPECT_EQ(own.front(), '/') << own;
  const fs::path before = fs::current_path();
  fs::current_path("/");
  EXPECT_EQ(TraceFolder(), own);
  fs::current_path(before);
  if (!saved.empty()) setenv("KIVOCOM_TRACE_DIR", saved.c_str(), 1);
}

}  // namespace
}  // namespace kivocom
